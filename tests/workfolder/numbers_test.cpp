#include "workfolder/numbers.h"

#include <gtest/gtest.h>

namespace strobo::workfolder {

TEST(NumberText, FileNameFormHasNoBlankAndNoLeadingZeros) {
    EXPECT_EQ(numberText(std::int64_t{7}), "7");
    EXPECT_EQ(numberText(std::int64_t{12}), "12");
    EXPECT_EQ(numberText(std::int64_t{-3}), "-3");
    EXPECT_EQ(numberText(std::int64_t{0}), "0");
    // A typed 07 and " 7 " both name file 7 once converted and written back.
    EXPECT_EQ(numberText(textToNumber("07")), "7");
    EXPECT_EQ(numberText(textToNumber(" 7 ")), "7");
    EXPECT_EQ(numberText(textToNumber("05")), "5");
}

TEST(NumberText, FractionsKeepTheRuntimeForm) {
    EXPECT_EQ(numberText(1.5), "1.5");
    EXPECT_EQ(numberText(0.5), ".5");
    EXPECT_EQ(numberText(-0.5), "-.5");
    EXPECT_EQ(numberText(4.0), "4");
}

TEST(NumberText, MediaFormHasOneLeadingBlankForZeroAndAbove) {
    EXPECT_EQ(mediaNumberText(0), " 0");
    EXPECT_EQ(mediaNumberText(150), " 150");
    EXPECT_EQ(mediaNumberText(-2), "-2");
}

TEST(TextToNumber, ReadsTheLeadingNumericPart) {
    EXPECT_EQ(textToNumber(""), 0);
    EXPECT_EQ(textToNumber("abc"), 0);
    EXPECT_EQ(textToNumber("Text1"), 0);
    EXPECT_EQ(textToNumber("12abc"), 12);
    EXPECT_EQ(textToNumber("  -4.5x"), -4.5);
    EXPECT_EQ(textToNumber("1e3"), 1000);
    EXPECT_EQ(textToNumber("1e"), 1);
    EXPECT_EQ(textToNumber(".5"), 0.5);
    EXPECT_EQ(textToNumber("1 2 3"), 123);  // blanks are skipped wherever they stand
    EXPECT_EQ(textToNumber("150\t"), 150);
}

TEST(TextToNumber, FullWidthFormsReadAsAscii) {
    EXPECT_EQ(textToNumber("１２"), 12);
    EXPECT_EQ(textToNumber("－３"), -3);
    EXPECT_EQ(textToNumber("　５"), 5);
    EXPECT_EQ(textToNumber("１．５"), 1.5);
    EXPECT_EQ(foldFullWidth("番号１２"), "番号12");
}

TEST(StrictTextToNumber, WholeTextMustBeANumber) {
    EXPECT_EQ(strictTextToNumber(" 91 "), 91);
    EXPECT_EQ(strictTextToNumber("2.5"), 2.5);
    EXPECT_EQ(strictTextToNumber("１０"), 10);
    EXPECT_THROW(strictTextToNumber("Text1"), NotANumberError);
    EXPECT_THROW(strictTextToNumber(""), NotANumberError);
    EXPECT_THROW(strictTextToNumber("12abc"), NotANumberError);
    try {
        strictTextToNumber("Text1");
    } catch (const ServiceError& e) {
        EXPECT_NE(std::string(e.what()).find("Text1"), std::string::npos);
    }
}

TEST(IntegerConversion, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(toInt32(2.5), 2);
    EXPECT_EQ(toInt32(3.5), 4);
    EXPECT_EQ(toInt32(-2.5), -2);
    EXPECT_EQ(toInt32(2.51), 3);
    EXPECT_EQ(toInt16(62.5), 62);
    EXPECT_EQ(toInt32(396.8), 397);
}

TEST(IntegerConversion, OutOfRangeIsAnOverflowError) {
    EXPECT_EQ(toInt32(2147483647.0), 2147483647);
    EXPECT_THROW(toInt32(2147483648.0), OverflowError);
    EXPECT_THROW(toInt32(-2147483649.0), OverflowError);
    EXPECT_EQ(toInt16(-32768), -32768);
    EXPECT_THROW(toInt16(32768), OverflowError);
    EXPECT_THROW(toInt32(textToNumber("1e20")), OverflowError);
}

TEST(FixedBuffer, CutsAndPadsToTwoHundredFiftyFiveCharacters) {
    const std::string padded = fixedBuffer255("8");
    EXPECT_EQ(padded.size(), 255u);
    EXPECT_EQ(textToNumber(padded), 8);
    const std::string longText = "1" + std::string(300, '0');
    EXPECT_EQ(fixedBuffer255(longText), longText.substr(0, 255));
    // Counted in characters: 300 full-width digits are cut to 255 of them.
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "５";
    EXPECT_EQ(fixedBuffer255(wide).size(), 255u * 3);
}

}  // namespace strobo::workfolder
