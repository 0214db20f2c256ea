#include "ui/display/spectrum_view.h"

#include <gtest/gtest.h>

#include <QPolygon>
#include <QRegion>
#include <QStringList>
#include <vector>

#include "display_pixels.h"
#include "qstring_print.h"
#include "ui/display/display_font.h"
#include "ui/display/spectrum_grid.h"
#include "ui/twips.h"

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

// The labels a view shows, with every shown one clear of the others and,
// but for "0", of the marker's arrow.
QStringList ShownLabels(const QSize& size, float offset) {
  SetTwipsPerPixel(15);
  const std::vector<GridLine> lines = GridLines(size, offset, DisplayFont(QString(), 9.0), 12);
  const int zero = GridRow(0, offset, size.height());
  const QRegion marker(QPolygon({QPoint(0, zero - 6), QPoint(11, zero), QPoint(0, zero + 5)}));
  QRegion taken;
  QStringList shown;
  for (const GridLine& line : lines) {
    if (!line.labelled) continue;
    EXPECT_FALSE(taken.intersects(line.ink)) << line.text.toStdString();
    EXPECT_TRUE(line.text == "0" || !marker.intersects(line.ink)) << line.text.toStdString();
    taken += line.ink;
    shown << line.text;
  }
  return shown;
}

TEST(SpectrumGrid, LabelsThatWouldTouchAnotherOrALineAreThinnedKeepingTheOuterOnes) {
  // Two rows of panels: 3 dB is 6 pixels, less than a label is high.
  const QStringList low = ShownLabels({376, 127}, 50.0f);
  // Labels hang below their lines: "+12" is wider than the gap before the
  // lines start and would touch the +6 line; "0" stays left of it.
  EXPECT_TRUE(low.contains("0"));
  EXPECT_FALSE(low.contains("+12"));
  EXPECT_TRUE(low.contains("-20"));  // the lowest in view; -40 is below the edge
  EXPECT_FALSE(low.contains("+3"));
  EXPECT_FALSE(low.contains("-3"));
  // A tall view has room for every label in view ("-40" falls below its edge).
  EXPECT_EQ(ShownLabels({376, 420}, 50.0f),
            (QStringList{"+12", "+6", "+3", "-3", "-6", "-12", "-20", "0"}));
}

}  // namespace
}  // namespace varn
