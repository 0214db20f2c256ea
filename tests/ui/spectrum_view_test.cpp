#include "ui/display/spectrum_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "display_pixels.h"

namespace varn {
namespace {

using test::PixelBgr;

constexpr int kWidth = 200;
constexpr int kHeight = 120;
constexpr int kRate = 48000;
constexpr double kZeroDb = 2950000.0;  // the averaged value drawn as 0 dB
constexpr int kBar = 0x909000;

class SpectrumViewTest : public ::testing::Test {
 protected:
  void Draw(float offset = 50.0f) { view_.Draw(image_, averaged_, hold_, offset, 1.0f, kRate); }
  bool BarAt(int x, int y) const { return PixelBgr(image_, x, y) == kBar; }

  SpectrumView view_;
  QImage image_{kWidth, kHeight, QImage::Format_RGB32};
  std::vector<double> averaged_ = std::vector<double>(kSpectrumBins, 0.0);
  std::vector<double> hold_ = std::vector<double>(kSpectrumBins, 0.0);
};

TEST_F(SpectrumViewTest, GridZeroLineFollowsTheOffset) {
  Draw(50.0f);
  EXPECT_EQ(PixelBgr(image_, 150, 60), 0x303080);       // mid-height
  EXPECT_EQ(PixelBgr(image_, 150, 60 - 24), 0x505050);  // +12 is 12/60 higher
  EXPECT_EQ(PixelBgr(image_, 150, 61), 0x000000);
  Draw(25.0f);
  EXPECT_EQ(PixelBgr(image_, 150, 90), 0x303080);
  EXPECT_NE(PixelBgr(image_, 150, 60), 0x303080);
}

TEST_F(SpectrumViewTest, BarsRiseFromSixtyDecibelsDown) {
  std::fill(averaged_.begin(), averaged_.end(), kZeroDb / 1000.0);  // -60 dB
  Draw();
  for (int x = 0; x < kWidth; ++x) EXPECT_FALSE(BarAt(x, kHeight - 1)) << x;

  std::fill(averaged_.begin(), averaged_.end(), kZeroDb);
  Draw();
  // 0 dB at gain 1: 60/70 of the height, from row round(120 - 102.86) = 17.
  EXPECT_TRUE(BarAt(kWidth - 1, 17));
  EXPECT_FALSE(BarAt(kWidth - 1, 16));
  EXPECT_TRUE(BarAt(kWidth - 1, kHeight - 1));
}

TEST_F(SpectrumViewTest, BinsOfOneColumnAreDrawnInThatColumnOnly) {
  const int column = SpectrumView::BinColumn(700, kWidth, kRate);
  int bins = 0;  // several, so a merge that spills into the next column shows
  for (int j = 1; j < kSpectrumBins; ++j) {
    if (SpectrumView::BinColumn(j, kWidth, kRate) != column) continue;
    averaged_[j] = kZeroDb;
    ++bins;
  }
  ASSERT_GT(bins, 2);
  Draw();
  EXPECT_TRUE(BarAt(column, 50));
  EXPECT_FALSE(BarAt(column - 1, kHeight - 1));
  EXPECT_FALSE(BarAt(column + 1, kHeight - 1));
}

TEST_F(SpectrumViewTest, HoldCurveJoinsTheColumns) {
  std::fill(hold_.begin(), hold_.end(), kZeroDb);
  Draw();
  EXPECT_EQ(PixelBgr(image_, 150, 17), 0xA0A0A0);
  EXPECT_FALSE(BarAt(150, kHeight - 1));
}

}  // namespace
}  // namespace varn
