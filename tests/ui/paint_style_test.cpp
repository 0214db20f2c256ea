#include "ui/display/paint_style.h"

#include <gtest/gtest.h>

#include "display_pixels.h"
#include "ui/display/colours.h"

namespace varn {
namespace {

using test::FilledImage;
using test::PixelBgr;

QImage Painted(int style, int c2, int width = 100, int height = 40) {
  QImage image = FilledImage(width, height, 0x123456);
  QPainter painter(&image);
  PaintStyle(painter, image.rect(), style, -1, c2);
  return image;
}

TEST(PaintStyle, WindowBackgroundTintsTheTextureRowByRow) {
  const QImage image = Painted(14, 0xC8C8C8);
  // Row 30 takes texture entry 1 (0xD7D3D4): R 204, G 203, B 206.
  EXPECT_EQ(PixelBgr(image, 50, 30), 0xCECBCC);
  EXPECT_NE(PixelBgr(image, 50, 29), 0xCECBCC);
}

TEST(PaintStyle, WindowBackgroundHasARaisedEdge) {
  const QImage image = Painted(14, 0xC8C8C8);
  EXPECT_EQ(PixelBgr(image, 0, 20), 0xFFFFFF);
  EXPECT_EQ(PixelBgr(image, 1, 20), 0xFFFFFF);
  EXPECT_EQ(PixelBgr(image, 50, 1), 0xFFFFFF);
  EXPECT_EQ(PixelBgr(image, 99, 20), 0x606060);
  EXPECT_EQ(PixelBgr(image, 98, 20), 0xB0B0B0);
  EXPECT_EQ(PixelBgr(image, 50, 39), 0x606060);
  EXPECT_EQ(PixelBgr(image, 50, 38), 0xB0B0B0);
}

TEST(PaintStyle, Style15LightensTheTopAndDarkensTheBottom) {
  const QImage flat = Painted(14, 0xC8C8C8, 100, 80);
  const QImage shaded = Painted(15, 0xC8C8C8, 100, 80);
  EXPECT_GT(SplitColor(PixelBgr(shaded, 50, 5)).G, SplitColor(PixelBgr(flat, 50, 5)).G);
  EXPECT_LT(SplitColor(PixelBgr(shaded, 50, 75)).G, SplitColor(PixelBgr(flat, 50, 75)).G);
}

TEST(PaintStyle, PreparationFillsWithTheSecondColourOrTheTheme) {
  EXPECT_EQ(PixelBgr(Painted(-2, 0x336699), 50, 20), 0x336699);
  EXPECT_EQ(PixelBgr(Painted(-2, -1), 50, 20), ThemeColor(1));
}

TEST(PaintStyle, BevelFrameWithoutFillLeavesTheInside) {
  QImage image = FilledImage(40, 30, 0x123456);
  {
    QPainter painter(&image);
    BevelFrame(painter, image.rect(), 0x090909, 0x606060, true, 3);
  }
  EXPECT_EQ(PixelBgr(image, 2, 15), 0x000000);
  EXPECT_EQ(PixelBgr(image, 37, 15), 0x888888);
  EXPECT_EQ(PixelBgr(image, 3, 15), 0x123456);
  EXPECT_EQ(PixelBgr(image, 36, 15), 0x123456);
  {
    QPainter painter(&image);
    BevelFrame(painter, image.rect(), 0x090909, 0x606060, false, 3);
  }
  EXPECT_NE(PixelBgr(image, 20, 15), 0x123456);
}

}  // namespace
}  // namespace varn
