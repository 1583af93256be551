#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "workfolder/failure.h"

namespace strobo::workfolder {

// A number that does not fit the integer it is converted to.
class OverflowError : public FailureError {
  public:
    using FailureError::FailureError;
};

// Text that must be a number and is not.
class NotANumberError : public FailureError {
  public:
    using FailureError::FailureError;
};

// The number in text form used in file names: digits, a minus sign when negative, no leading
// blank and no leading zeros ("7", "12", "-3"). Fractions keep the runtime's form (".5", "1.5").
std::string numberText(double value);
std::string numberText(std::int64_t value);
inline std::string numberText(std::int32_t value) {
    return numberText(static_cast<std::int64_t>(value));
}

// The form numbers take inside media commands: one leading blank for 0 and above (" 12"),
// a minus sign otherwise ("-3").
std::string mediaNumberText(std::int64_t value);

// Full-width digits, signs, point and blanks, as a Japanese input method types them, become
// their ASCII forms; everything else stays.
std::string foldFullWidth(std::string_view text);

// The lenient text-to-number conversion: blanks, tabs and line feeds are skipped wherever they
// stand, then the leading numeric part (sign, digits, point, exponent) is read; text with no
// number at all gives 0.
double textToNumber(std::string_view text);

// The strict conversion: after blanks around it, the whole text must be a number. Throws
// NotANumberError naming the text.
double strictTextToNumber(std::string_view text);

// Whole number nearest to value, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Throws OverflowError outside the target range.
std::int32_t toInt32(double value);
std::int16_t toInt16(double value);

// Text copied into a fixed-length buffer of 255 characters: longer text is cut, shorter text
// padded with blanks. Counts characters, not bytes.
std::string fixedBuffer255(std::string_view text);

}  // namespace strobo::workfolder
