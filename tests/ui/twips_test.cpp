#include "ui/twips.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

TEST(Twips, FollowTheScreensLogicalDpi) {
  EXPECT_EQ(TwipsPerPixelForDpi(96), 15);
  EXPECT_EQ(TwipsPerPixelForDpi(144), 10);
  EXPECT_EQ(TwipsPerPixelForDpi(0), 15);  // no screen reading: the common case
  SetTwipsPerPixel(10);
  EXPECT_EQ(TwipsToPixels(5000), 500);
  SetTwipsPerPixel(15);
  EXPECT_EQ(TwipsToPixels(5000), 333);
}

}  // namespace
}  // namespace varn
