#pragma once
// Reading the drawing tests' images back as 0x00BBGGRR colours.

#include <QImage>

#include "ui/display/colours.h"

namespace varn::test {

inline int PixelBgr(const QImage& image, int x, int y) {
  return FromQColor(image.pixelColor(x, y));
}

inline QImage FilledImage(int width, int height, int bgr) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(ToQColor(bgr));
  return image;
}

}  // namespace varn::test
