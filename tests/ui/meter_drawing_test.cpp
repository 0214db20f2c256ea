#include "ui/display/meter_drawing.h"

#include <gtest/gtest.h>

#include "display_pixels.h"
#include "ui/display/c_vu.h"
#include "ui/twips.h"

namespace varn {
namespace {

using test::PixelBgr;

class PanelMeter : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    meter_ = QImage(300, 90, QImage::Format_RGB32);
    background_ = QImage(meter_.size(), QImage::Format_RGB32);
    vu_.SetPictureBox(&meter_);
    vu_.SetUseBG(1);
    vu_.SetMargin(720, 1400, 0, 150);
    vu_.SetNumValue(1);
    vu_.SetStrType(0);
    vu_.SetParms();
  }
  void TearDown() override { vu_.ClosePictureBox(); }

  QImage meter_;
  QImage background_;
  C_VU vu_;
};

TEST_F(PanelMeter, BackgroundIsFramedAndShownAtOnce) {
  DrawMeterBackground(vu_, background_, MeterTextMode::Rms, {});
  EXPECT_EQ(meter_, background_);
  EXPECT_EQ(PixelBgr(background_, 0, 0), 0x000000);     // 0x090909 less 40
  EXPECT_EQ(PixelBgr(background_, 299, 89), 0x888888);  // 0x606060 plus 40
}

TEST_F(PanelMeter, ModeCaptionSitsAtTheBottomRight) {
  DrawMeterBackground(vu_, background_, MeterTextMode::Rms, {});
  const QImage rms = background_.copy();
  DrawMeterBackground(vu_, background_, MeterTextMode::Peak, {});
  int differing = 0;
  for (int y = 0; y < rms.height(); ++y) {
    for (int x = 0; x < rms.width(); ++x) {
      if (rms.pixel(x, y) == background_.pixel(x, y)) continue;
      ++differing;
      EXPECT_GT(x, rms.width() / 2);
      EXPECT_GT(y, rms.height() / 2);
    }
  }
  EXPECT_GT(differing, 0);
}

// The LUFS caption is placed as the others are and is not cut by the frame.
TEST_F(PanelMeter, TheLufsCaptionEndsWherePeakEnds) {
  EXPECT_EQ(MeterModeCaption(MeterTextMode::Lufs), "LUFS");
  const MeterCaptionFont panel{QString(), 9.0f, 1.0f};
  DrawMeterBackground(vu_, background_, MeterTextMode::Hold, panel);  // "PH": the narrowest
  const QImage bare = background_.copy();
  auto rightmostInk = [&](MeterTextMode mode) {
    DrawMeterBackground(vu_, background_, mode, panel);
    int right = -1;
    for (int y = 0; y < bare.height(); ++y)
      for (int x = 0; x < bare.width(); ++x)
        if (bare.pixel(x, y) != background_.pixel(x, y)) right = std::max(right, x);
    return right;
  };
  const int peak = rightmostInk(MeterTextMode::Peak);
  const int lufs = rightmostInk(MeterTextMode::Lufs);
  EXPECT_GT(peak, bare.width() / 2);
  EXPECT_NEAR(lufs, peak, 2);
  EXPECT_LT(lufs, bare.width() - 4);  // clear of the frame
}

TEST_F(PanelMeter, EveryBlockStartsFromTheBackground) {
  DrawMeterBackground(vu_, background_, MeterTextMode::Rms, {});
  const VuBarValues loud[] = {{0, 5.0f, 5.0f, "05.0", 6.0f}, {1, 5.0f, 5.0f, "05.0", 6.0f}};
  DrawMeter(vu_, background_, loud);
  EXPECT_NE(meter_, background_);
  const VuBarValues silent[] = {{0, -99.9f, -99.9f, "", kNoHoldMark}};
  DrawMeter(vu_, background_, silent);
  // Only bar 0's empty peak mark is left over the background.
  int differing = 0;
  for (int y = 0; y < meter_.height(); ++y) {
    for (int x = 100; x < meter_.width(); ++x)
      differing += meter_.pixel(x, y) != background_.pixel(x, y);
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace varn
