#include "util/text.h"

#include <gtest/gtest.h>

#include "util/numeric.h"

namespace varn {
namespace {

TEST(ParseNumber, ReadsWhatAPersonWritesAndRefusesTheRest) {
  EXPECT_EQ(ParseNumber(" 300 "), 300.0);
  EXPECT_EQ(ParseNumber("-20.0"), -20.0);
  EXPECT_EQ(ParseNumber("1e3"), 1000.0);
  EXPECT_EQ(ParseNumber(".5"), 0.5);
  for (const char* bad : {"", "  ", "abc", "12abc", "0x10", "inf", "nan", "1,5", "1e999"})
    EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
}

TEST(Rounding, RoundsHalvesToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(3.5), 4.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(ToInt32(2147483647.4), 2147483647);
  EXPECT_FALSE(ToInt32(2147483647.6).has_value());
  EXPECT_FALSE(ToInt16(32767.5).has_value());  // rounds to 32768
  EXPECT_EQ(ToInt16(-32768.4), -32768);
}

TEST(CutUtf8, NeverSplitsACharacter) {
  const std::string jp = "系統名";  // three bytes a character
  EXPECT_EQ(CutUtf8(jp, 9), jp);
  EXPECT_EQ(CutUtf8(jp, 8), "系統");
  EXPECT_EQ(CutUtf8(jp, 6), "系統");
  EXPECT_EQ(CutUtf8(jp, 2), "");
  EXPECT_EQ(CutUtf8("abc", 2), "ab");
}

TEST(ShortestText, StoresRealsAsPeopleWriteThem) {
  EXPECT_EQ(ShortestText(0.7f), "0.7");
  EXPECT_EQ(ShortestText(300.0f), "300");
  EXPECT_EQ(ShortestText(-20.5f), "-20.5");
  EXPECT_EQ(FormatFixed(-12.345, 1), "-12.3");
  EXPECT_EQ(PadNumber(7, 2), "07");
  EXPECT_EQ(PadNumber(2026, 4), "2026");
}

}  // namespace
}  // namespace varn
