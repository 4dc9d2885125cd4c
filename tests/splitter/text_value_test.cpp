// Numeric value of a text, rendering of a number, trimming of plain spaces.
#include "splitter/text_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarnwick {
namespace {

TEST(TextValue, NumericValueReadsTheLeadingNumber) {
  EXPECT_EQ(NumericValue("0012abc"), 12);
  EXPECT_EQ(NumericValue("  7.5x"), 7.5);
  EXPECT_EQ(NumericValue("-3"), -3);
  EXPECT_EQ(NumericValue("+8"), 8);
  EXPECT_EQ(NumericValue(".5"), 0.5);
  EXPECT_EQ(NumericValue("1000"), 1000);
  EXPECT_EQ(NumericValue("2147483648"), 2147483648.0);
  // Blanks are ignored anywhere inside the number; a second point ends it.
  EXPECT_EQ(NumericValue("\t1 000\n"), 1000);
  EXPECT_EQ(NumericValue("- 2.5"), -2.5);
  EXPECT_EQ(NumericValue("1.2.3"), 1.2);
  // No number at the start: 0 (and never a negative zero).
  for (const char* text : {"", "abc", "   ", ".", "-", "+-1", "x12",
                           "\xE3\x80\x80"
                           "5"}) {
    EXPECT_EQ(NumericValue(text), 0) << text;
    EXPECT_FALSE(std::signbit(NumericValue(text))) << text;
  }
  EXPECT_FALSE(std::signbit(NumericValue("-0")));
  // Far too many digits: infinity rather than a wrong finite value; a tiny fraction: 0.
  EXPECT_EQ(NumericValue(std::string(400, '9')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(NumericValue("0." + std::string(400, '0') + "1"), 0);
}

TEST(TextValue, RenderNumberIsPlainDecimal) {
  EXPECT_EQ(RenderNumber(1000), "1000");
  EXPECT_EQ(RenderNumber(2.5), "2.5");
  EXPECT_EQ(RenderNumber(0), "0");
  EXPECT_EQ(RenderNumber(-0.0), "0");
  EXPECT_EQ(RenderNumber(-3), "-3");
  EXPECT_EQ(RenderNumber(0.1), "0.1");
  EXPECT_EQ(RenderNumber(1e20), "100000000000000000000");
  EXPECT_EQ(RenderNumber(2147483647), "2147483647");
  // What is rendered reads back as the same value.
  for (const double value : {0.3, 1.0 / 3, 123456.789, 1e-7}) {
    EXPECT_EQ(NumericValue(RenderNumber(value)), value) << RenderNumber(value);
  }
}

TEST(TextValue, NumbersTooLargeToHoldNeverRenderAsInfOrNan) {
  // 400 digits read as infinity; rendered as the largest value that can be held, which
  // reads back as itself, so a stored setting stays the same from one start to the next.
  const double huge = NumericValue(std::string(400, '9'));
  ASSERT_TRUE(std::isinf(huge));
  const std::string text = RenderNumber(huge);
  EXPECT_EQ(text.size(), 309u) << text;
  EXPECT_EQ(text.rfind("17976931348623157", 0), 0u) << text;
  EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos) << text;
  EXPECT_EQ(NumericValue(text), std::numeric_limits<double>::max());
  EXPECT_EQ(RenderNumber(NumericValue(text)), text);
  EXPECT_EQ(RenderNumber(-huge), "-" + text);
  EXPECT_EQ(RenderNumber(std::numeric_limits<double>::quiet_NaN()), "0");
}

TEST(TextValue, TrimSpacesRemovesOnlyPlainSpacesAtBothEnds) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_EQ(TrimSpaces(""), "");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimSpaces("\xE3\x80\x80x\xE3\x80\x80"), "\xE3\x80\x80x\xE3\x80\x80");
  EXPECT_EQ(TrimSpaces(" D:\\out \r"), "D:\\out \r");
}

}  // namespace
}  // namespace tarnwick
