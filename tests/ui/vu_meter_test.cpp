#include <gtest/gtest.h>

#include <set>

#include "analysis/analysis_output.h"
#include "display_pixels.h"
#include "ui/display/c_vu.h"
#include "ui/display/display_font.h"
#include "ui/display/vu_scale.h"
#include "ui/twips.h"

namespace varn {
namespace {

using test::PixelBgr;

// At 15 twips a pixel: the bar starts at x 30, is 207 pixels long (one
// pixel per scale position up to 0 dB) and leaves 60 pixels of margin.
// Bar 0 is centred on row 8, bar 1 on row 19, each 7 rows thick.
constexpr int kStart = 30;
constexpr int kRow0 = 8;
constexpr int kRow1 = 19;
constexpr int kBack = 0x000000;
const int kGreen = MakeColor(70, 140, 70);  // centre colours, BarWidth 4
const int kRed = MakeColor(140, 70, 70);
const int kGrey = MakeColor(140, 140, 140);

class VuMeter : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    image_ = QImage(297, 60, QImage::Format_RGB32);
    vu_.SetPictureBox(&image_);
    vu_.SetMargin(450, 900, -1, -1);
    vu_.SetTopMargin(67.5f);
    vu_.SetNumValue(1);
    vu_.SetBarWidth(4);
    vu_.SetParms();
  }
  void TearDown() override { vu_.ClosePictureBox(); }
  int At(int x, int row = kRow0) const { return PixelBgr(image_, x, row); }
  bool RowHas(int colour, int row = kRow0) const {
    for (int x = 0; x < image_.width(); ++x) {
      if (At(x, row) == colour) return true;
    }
    return false;
  }

  QImage image_;
  C_VU vu_;
};

TEST_F(VuMeter, SilenceDrawsNoBarOnlyThePeakMarkAtTheStart) {
  vu_.DrawVU(0, -99.9f, -99.9f, {}, kNoHoldMark);
  EXPECT_FALSE(RowHas(kGreen));
  EXPECT_FALSE(RowHas(kRed));
  EXPECT_EQ(At(kStart), kGrey);
  EXPECT_EQ(At(kStart + 3), kGrey);
  EXPECT_EQ(At(kStart + 4), kBack);
  vu_.SetParms();                                // clears the picture
  vu_.DrawVU(0, -99.9f, 0.0f, {}, kNoHoldMark);  // no green stub at the start
  EXPECT_EQ(At(kStart), kBack);
}

TEST_F(VuMeter, FiguresLookAsTextLaidOutEachTimeWouldAtEverySize) {
  // The meter keeps its figures' layouts; they must land on the pixels a
  // fresh layout right-aligned in the figure's box takes.
  for (float points : {8.0f, 11.0f, 13.5f, 16.0f}) {
    vu_.SetFontSize(0, points);
    vu_.SetParms();
    for (const char* text : {"-12.3", "0.0", "-99.9", "+3.0", "-108.2db", "-23.1", "PH 1.7"}) {
      SCOPED_TRACE(std::to_string(points) + " points, \"" + text + "\"");
      for (int pass = 0; pass < 2; ++pass) {  // laid out, then kept
        image_.fill(Qt::black);
        vu_.DrawVU(0, -12.0f, -6.0f, text, kNoHoldMark);
        const QImage kept = image_.copy();
        image_.fill(Qt::black);
        vu_.DrawVU(0, -12.0f, -6.0f, {}, kNoHoldMark);
        QPainter painter(&image_);
        painter.setFont(DisplayFont(QString(), points));
        painter.setPen(QColor(0xC0, 0xC0, 0xC0));
        painter.drawText(vu_.Shape(0, -12.0f, -6.0f, text, kNoHoldMark).textBox,
                         Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip, QString(text));
        painter.end();
        ASSERT_EQ(kept, image_);
      }
    }
  }
}

TEST_F(VuMeter, LevelOnTheRedPointIsAllGreen) {
  vu_.DrawVU(0, -20.0f, 10.0f, {}, kNoHoldMark);
  EXPECT_EQ(At(kStart), kGreen);
  EXPECT_EQ(At(kStart + 79), kGreen);  // -20 dB is position 79
  EXPECT_EQ(At(kStart + 80), kBack);
  EXPECT_FALSE(RowHas(kRed));
}

TEST_F(VuMeter, AboveTheRedPointRedStartsOnePixelAfterRedX) {
  vu_.DrawVU(0, -10.0f, -99.9f, {}, kNoHoldMark);
  EXPECT_EQ(At(kStart + 79), kGreen);
  EXPECT_EQ(At(kStart + 80), kRed);
  EXPECT_EQ(At(kStart + 143), kRed);  // -10 dB is position 143
  EXPECT_EQ(At(kStart + 144), kBack);
}

TEST_F(VuMeter, PlusTenDecibelsReachesPosition255InTheMargin) {
  vu_.DrawVU(0, 10.0f, -99.9f, {}, kNoHoldMark);
  EXPECT_EQ(At(kStart + 255), kRed);
  EXPECT_EQ(At(kStart + 256), kBack);
  vu_.DrawVU(0, 40.0f, -99.9f, {}, kNoHoldMark);
  EXPECT_EQ(At(kStart + 256), kBack);
}

TEST_F(VuMeter, HoldMarkOnlyWhenNot99) {
  vu_.DrawVU(0, -99.9f, -99.9f, {}, 0.0f);  // 0 dB: position 207
  EXPECT_EQ(At(kStart + 206), kGrey);
  EXPECT_EQ(At(kStart + 207), kGrey);
  EXPECT_EQ(At(kStart + 208), kBack);
  vu_.DrawVU(0, -99.9f, -99.9f, {}, kNoHoldMark);
  EXPECT_EQ(At(kStart + 207), kBack);
}

TEST_F(VuMeter, BarsAreShadedFromTheEdgeInwards) {
  auto columnColours = [&] {
    std::set<int> colours;
    for (int y = kRow0 - 3; y <= kRow0 + 3; ++y) colours.insert(At(kStart + 20, y));
    return colours;
  };
  vu_.DrawVU(0, -30.0f, -99.9f, {}, kNoHoldMark);
  EXPECT_EQ(columnColours().size(), 4u);
  EXPECT_EQ(At(kStart + 20, kRow0 - 3), MakeColor(10, 50, 10));  // darkest at the edge
  EXPECT_EQ(At(kStart + 20, kRow0 - 4), kBack);

  vu_.SetBarWidthStep(2);
  vu_.SetParms();
  vu_.DrawVU(0, -30.0f, -99.9f, {}, kNoHoldMark);
  EXPECT_EQ(columnColours(), (std::set<int>{MakeColor(10, 50, 10), MakeColor(50, 110, 50)}));
}

TEST_F(VuMeter, EachBarHasItsRowAndResetEmptiesThemAll) {
  vu_.DrawVU(1, -10.0f, -99.9f, {}, 0.0f);
  EXPECT_TRUE(RowHas(kRed, kRow1));
  EXPECT_FALSE(RowHas(kRed, kRow0));
  vu_.DrawVU(0, -10.0f, -99.9f, {}, kNoHoldMark);
  vu_.ResetVU(-1);
  EXPECT_FALSE(RowHas(kRed, kRow0));
  EXPECT_FALSE(RowHas(kRed, kRow1));
  EXPECT_EQ(At(kStart + 207, kRow1), kBack);  // no hold mark after a reset
}

TEST_F(VuMeter, ScaleTicksSitAtTheirLevels) {
  vu_.SetForeColor(0xFFFFFF);
  vu_.SetStrType(0);
  vu_.SetParms();
  vu_.DrawScale();
  const int row = image_.height() - 3;         // below the tick texts
  EXPECT_EQ(At(kStart + 207, row), 0xFFFFFF);  // "0db"
  EXPECT_EQ(At(kStart + 79, row), 0xFFFFFF);   // -20
  EXPECT_EQ(At(kStart + 78, row), kBack);
  EXPECT_EQ(At(kStart, row), 0xFFFFFF);  // -99.9
  bool labelInk = false;                 // "L" and "R" left of the bars
  for (int x = 0; x < kStart; ++x) {
    for (int y = 0; y < 25; ++y) labelInk |= At(x, y) != kBack;
  }
  EXPECT_TRUE(labelInk);
}

TEST_F(VuMeter, MarginsKeptByMinusOne) {
  vu_.SetMargin(-1, 0, -1, -1);
  EXPECT_EQ(vu_.BarXStart(), 450);
  EXPECT_EQ(vu_.BarXEnd(), 0);
}

TEST(VuScale, PositionsOfLevels) {
  EXPECT_FLOAT_EQ(VuScaleDb(1), -99.9f);
  EXPECT_FLOAT_EQ(VuScaleDb(2), -96.0f);
  EXPECT_FLOAT_EQ(VuScaleDb(kVuFullScalePosition), 0.0f);
  EXPECT_FLOAT_EQ(VuScaleDb(255), 10.0f);
  EXPECT_FLOAT_EQ(VuPositionInterpolated(-200.0f), 0.0f);
  EXPECT_FLOAT_EQ(VuPositionInterpolated(-87.5f), 3.5f);
  EXPECT_EQ(VuPositionNearest(-87.5f), 3);  // a tie goes to the lower position
  EXPECT_EQ(VuPositionNearest(-86.0f), 4);
  // Between the last two entries: interpolated, not clamped to either end.
  const float nearTop = VuPositionInterpolated(9.9f);
  EXPECT_GT(nearTop, 254.0f);
  EXPECT_LT(nearTop, 255.0f);
}

}  // namespace
}  // namespace varn
