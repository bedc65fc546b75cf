#include "scale/ScaleNumbers.h"

#include <gtest/gtest.h>

#include "platform/Bytes.h"
#include "platform/Locale.h"

namespace trv {
namespace {

class ScaleNumbersTest : public ::testing::TestWithParam<char> {
 protected:
  platform::ScopedDecimalSeparator separator_{GetParam()};
  // The text with its '.' written as the separator under test.
  static std::string L(std::string text) { return ScaleNumbers::WithDecimalSeparator(text); }
};

TEST_P(ScaleNumbersTest, BothMarksBecomeTheSeparator) {
  const std::string expected = std::string("1") + GetParam() + "234" + GetParam() + "5";
  EXPECT_EQ(ScaleNumbers::WithDecimalSeparator("1.234,5"), expected);
}

TEST_P(ScaleNumbersTest, IntegerConversionIsStrict) {
  struct Case {
    std::string text;
    bool ok;
    int32_t value;
  };
  const Case cases[] = {
      {"001234", true, 1234},
      {"  -12", true, -12},
      {"+7", true, 7},
      {"2147483647", true, INT32_MAX},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},  // does not fit
      {"99999999999999999999", false, 0},
      {"12 ", false, 0},  // trailing blank
      {"", false, 0},
      {" ", false, 0},
      {"-", false, 0},
      {"1a", false, 0},
      {"0x10", false, 0},
      {"+-1", false, 0},
      {"\t1", false, 0},
      {L("1.0"), false, 0},
  };
  for (const Case& c : cases) {
    int32_t value = -99;
    EXPECT_EQ(ScaleNumbers::TryToInteger(c.text, value), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST_P(ScaleNumbersTest, DecimalConversionIsStrict) {
  struct Case {
    std::string text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {L("01.234"), true, 1.234},
      {L(" -0.5 "), true, -0.5},
      {L("1.5e3"), true, 1500},
      {"2E-3", true, 0.002},
      {L(".5"), true, 0.5},
      {L("5."), true, 5},
      {"+3", true, 3},
      {"  42  ", true, 42},
      {L("1.2.3"), false, 0},
      {L("."), false, 0},
      {"", false, 0},
      {"1e", false, 0},
      {"1e+", false, 0},
      {"1e999", false, 0},
      {"abc", false, 0},
      {L("1.5x"), false, 0},
      {"nan", false, 0},
      {"inf", false, 0},
      {L("1. 5"), false, 0},
  };
  for (const Case& c : cases) {
    double value = -99;
    EXPECT_EQ(ScaleNumbers::TryToDecimal(c.text, value), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
  }
}

TEST_P(ScaleNumbersTest, TheOtherMarkIsNotADecimalMark) {
  const std::string other = GetParam() == ',' ? "1.5" : "1,5";
  double value = 0;
  EXPECT_FALSE(ScaleNumbers::TryToDecimal(other, value));
}

INSTANTIATE_TEST_SUITE_P(Separators, ScaleNumbersTest, ::testing::Values(',', '.'));

TEST(ScaleNumbersTrim, RemovesControlsAndBlanksAtBothEnds) {
  EXPECT_EQ(ScaleNumbers::Trim(Bytes("\x02 12 \r\n\0", 8)), "12");
  EXPECT_EQ(ScaleNumbers::Trim(" \t "), "");
  EXPECT_EQ(ScaleNumbers::Trim("I I"), "I I");
}

}  // namespace
}  // namespace trv
