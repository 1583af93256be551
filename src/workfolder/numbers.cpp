#include "workfolder/numbers.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace strobo::workfolder {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Length of the UTF-8 sequence that starts with lead byte c.
std::size_t sequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 1;
}

// The scanner shared by both conversions. Reads sign, digits, point, digits and an exponent from
// text whose blanks have been removed; returns the number of characters consumed.
std::size_t scanNumber(const std::string& s, double& value) {
    std::size_t i = 0;
    std::string buf;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) buf += s[i++];
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        buf += s[i++];
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        buf += s[i++];
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            buf += s[i++];
            ++digits;
        }
    }
    if (digits == 0) {
        value = 0;
        return 0;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
        std::size_t expDigits = 0;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            exp += s[j++];
            ++expDigits;
        }
        if (expDigits > 0) {
            buf += exp;
            i = j;
        }
    }
    value = std::strtod(buf.c_str(), nullptr);
    return i;
}

double roundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even unless
    // someone changed it; say so explicitly rather than rely on it.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(saved);
    return r;
}

template <typename Int>
Int toInteger(double value) {
    if (std::isnan(value)) throw OverflowError(Failure{FailureKind::NumberIsNaN, {}, {}, {}});
    const double r = roundHalfEven(value);
    if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
        r > static_cast<double>(std::numeric_limits<Int>::max())) {
        throw OverflowError(Failure{FailureKind::NumberOutOfRange,
                                    {},
                                    numberText(value) + "（" +
                                        std::to_string(std::numeric_limits<Int>::min()) + " から " +
                                        std::to_string(std::numeric_limits<Int>::max()) + " まで）",
                                    {}});
    }
    return static_cast<Int>(r);
}

}  // namespace

std::string numberText(std::int64_t value) {
    return std::to_string(value);
}

std::string numberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<std::int64_t>(value));
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s = buf;
    // The runtime writes fractions without the zero before the point: .5 and -.5.
    if (s.rfind("0.", 0) == 0) s.erase(0, 1);
    if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
    return s;
}

std::string mediaNumberText(std::int64_t value) {
    std::string text = std::to_string(value);
    if (value >= 0) text.insert(text.begin(), ' ');
    return text;
}

std::string foldFullWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = std::min(sequenceLength(c), text.size() - i);
        if (n == 3) {
            const unsigned cp =
                ((c & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
            char folded = 0;
            if (cp >= 0xFF10 && cp <= 0xFF19)
                folded = static_cast<char>('0' + (cp - 0xFF10));
            else if (cp == 0xFF0B)
                folded = '+';
            else if (cp == 0xFF0D || cp == 0x2212)
                folded = '-';
            else if (cp == 0xFF0E)
                folded = '.';
            else if (cp == 0x3000)
                folded = ' ';
            else if (cp == 0xFF45)
                folded = 'e';
            else if (cp == 0xFF25)
                folded = 'E';
            if (folded != 0) {
                out += folded;
                i += 3;
                continue;
            }
        }
        out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

double textToNumber(std::string_view text) {
    std::string compact;
    for (char c : foldFullWidth(text)) {
        if (!isBlank(c)) compact += c;
    }
    double value = 0;
    scanNumber(compact, value);
    return value;
}

double strictTextToNumber(std::string_view text) {
    const std::string folded = foldFullWidth(text);
    std::size_t begin = 0;
    std::size_t end = folded.size();
    while (begin < end && isBlank(folded[begin])) ++begin;
    while (end > begin && isBlank(folded[end - 1])) --end;
    const std::string core = folded.substr(begin, end - begin);
    double value = 0;
    if (core.empty() || scanNumber(core, value) != core.size()) {
        throw NotANumberError(Failure{FailureKind::NotANumber, {}, std::string(text), {}});
    }
    return value;
}

std::int32_t toInt32(double value) {
    return toInteger<std::int32_t>(value);
}
std::int16_t toInt16(double value) {
    return toInteger<std::int16_t>(value);
}

std::string fixedBuffer255(std::string_view text) {
    constexpr std::size_t kLength = 255;
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size() && chars < kLength; ++chars) {
        const std::size_t n =
            std::min(sequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
        out.append(text.substr(i, n));
        i += n;
    }
    out.append(kLength - chars, ' ');
    return out;
}

}  // namespace strobo::workfolder
