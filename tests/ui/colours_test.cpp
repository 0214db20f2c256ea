#include "ui/display/colours.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>

namespace varn {
namespace {

TEST(ColourRoutines, ComponentsAreLimitedAndRoundedToEven) {
  EXPECT_EQ(MakeColor(300, -5, 128), 0x8000FF);
  EXPECT_EQ(AdjustColor(0x090909, -40, -40, -40, -1), 0x000000);
  EXPECT_EQ(AdjustColor(0x606060, 40, 40, 40, -1), 0x888888);
  // Factor form: R 1 x .5 = .5 -> 0, G 3 x .5 = 1.5 -> 2, B 5 x .5 = 2.5 -> 2.
  EXPECT_EQ(AdjustColor(0x050301, 99, 99, 99, 0.5), 0x020200);
  const ColorParts parts = SplitColor(0x123456);
  EXPECT_EQ(parts.R, 0x56);
  EXPECT_EQ(parts.G, 0x34);
  EXPECT_EQ(parts.B, 0x12);
}

TEST(ColourRoutines, BrightnessScalingKeepsTheHueAndSurvivesBlack) {
  // R 205, G 201, B 193 from (212, 208, 200): average 207, factor 200 / 207.
  EXPECT_EQ(ScaleToBrightness(MakeColor(212, 208, 200), 200), MakeColor(205, 201, 193));
  EXPECT_EQ(ScaleToBrightness(0x000000, 200), 0xC8C8C8);
}

TEST(ColourRoutines, ThemeColoursAreCachedForTheWholeRun) {
  EXPECT_EQ(ThemeColor(0), 0xFFFFFF);
  const int face = ThemeColor(1);
  EXPECT_NE(face, 0);
  const QPalette saved = QGuiApplication::palette();
  QPalette changed = saved;
  changed.setColor(QPalette::Button, QColor(255, 0, 0));
  QGuiApplication::setPalette(changed);
  EXPECT_EQ(ThemeColor(1), face);
  QGuiApplication::setPalette(saved);
  EXPECT_EQ(ThemeColor(4), 0);
}

}  // namespace
}  // namespace varn
