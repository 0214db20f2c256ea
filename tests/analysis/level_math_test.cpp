#include "analysis/level_math.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

TEST(LevelMath, ConvertsBothWaysWithTheFloorAtMinus110) {
  EXPECT_EQ(LinearToDb(0.0f), -110.0f);
  EXPECT_EQ(LinearToDb(-1.0f), -110.0f);
  EXPECT_EQ(LinearToDb(1.0f), 0.0f);
  EXPECT_FLOAT_EQ(LinearToDb(0.1f), -20.0f);
  EXPECT_EQ(DbToLinear(-110.0f), 0.0f);
  EXPECT_EQ(DbToLinear(-120.0f), 0.0f);
  EXPECT_GT(DbToLinear(-109.9f), 0.0f);
  EXPECT_EQ(DbToLinear(0.0f), 1.0f);  // a gain of 0 dB leaves samples exactly as they are
  EXPECT_FLOAT_EQ(DbToLinear(6.0f), 1.9952623f);
  EXPECT_FLOAT_EQ(DbToLinear(LinearToDb(0.25f)), 0.25f);
}

}  // namespace
}  // namespace varn
