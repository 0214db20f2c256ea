#include "ui/display/waveform_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "display_pixels.h"
#include "ui/twips.h"

namespace varn {
namespace {

using test::PixelBgr;

// 240 x 80 pixels: traces centred on rows 20 (L), 60 (R) and 40 (one
// trace); a mean of 16384 is 10 rows either side for two traces, 20 for one.
// Each block scrolls the view by 2 columns and draws columns 238 and 239.
class WaveformViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    geometry_ = MakeWaveGeometry(image_.size(), 1.0f, SamplesPerColumn(600, 240));
    image_.fill(Qt::black);
  }
  void Draw(int16_t l, int16_t r, StereoMode mode) {
    const std::vector<Frame> block(600, Frame{l, r});
    DrawWaveform(image_, block, mode, geometry_);
  }
  bool Ink(int x, int y) const { return PixelBgr(image_, x, y) == geometry_.foreColor; }

  QImage image_{240, 80, QImage::Format_RGB32};
  WaveGeometry geometry_;
};

TEST_F(WaveformViewTest, MonoRightShowsTheRightSide) {
  Draw(0, 16384, StereoMode::MonoRight);
  EXPECT_TRUE(Ink(239, 20));
  EXPECT_TRUE(Ink(239, 60));
  EXPECT_FALSE(Ink(239, 19));
  Draw(16384, 0, StereoMode::MonoRight);
  EXPECT_TRUE(Ink(239, 40));
  EXPECT_FALSE(Ink(239, 39));
}

TEST_F(WaveformViewTest, StereoDrawsBothSidesAroundTheirCentres) {
  Draw(16384, 0, StereoMode::Stereo);
  EXPECT_TRUE(Ink(239, 10));
  EXPECT_TRUE(Ink(239, 30));
  EXPECT_FALSE(Ink(239, 9));
  EXPECT_TRUE(Ink(239, 60));  // silent R: its centre row only
  EXPECT_FALSE(Ink(239, 59));
}

TEST_F(WaveformViewTest, EveryBlockScrollsByTheColumnsItDraws) {
  Draw(16384, 16384, StereoMode::MonoMix);
  Draw(0, 0, StereoMode::MonoMix);
  EXPECT_TRUE(Ink(236, 25));
  EXPECT_TRUE(Ink(237, 25));
  EXPECT_FALSE(Ink(238, 25));
  EXPECT_FALSE(Ink(239, 25));
  EXPECT_FALSE(Ink(235, 25));
}

TEST(WaveformGeometry, SamplesPerColumn) {
  EXPECT_EQ(SamplesPerColumn(1837, 600), 367);
  EXPECT_EQ(SamplesPerColumn(10, 2400), 1);
  EXPECT_EQ(SamplesPerColumn(500, 0), 500);
}

}  // namespace
}  // namespace varn
