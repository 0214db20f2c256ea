#include "ui/display/display_font.h"

#include <algorithm>
#include <cmath>

#include "ui/fonts/ui_font.h"
#include "ui/twips.h"

namespace varn {

int PointsToPixels(double points) {
  const int pixels = static_cast<int>(std::nearbyint(points * 20.0 / TwipsPerPixel()));
  return std::max(pixels, 1);
}

QFont DisplayFont(const QString& family, double points) {
  QFont font(family.isEmpty() ? DefaultDisplayFontFamily() : family);
  font.setPixelSize(PointsToPixels(points));
  return font;
}

QString DefaultDisplayFontFamily() { return UiFace(); }

}  // namespace varn
