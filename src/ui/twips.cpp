#include "ui/twips.h"

#include <cmath>

namespace varn {

namespace {
int gTwipsPerPixel = 15;
}

int TwipsPerPixel() { return gTwipsPerPixel; }
void SetTwipsPerPixel(int twipsPerPixel) {
  gTwipsPerPixel = twipsPerPixel > 0 ? twipsPerPixel : 15;
}

int TwipsPerPixelForDpi(double logicalDpi) {
  if (!(logicalDpi > 0)) return 15;
  const int t = static_cast<int>(std::nearbyint(1440.0 / logicalDpi));
  return t > 0 ? t : 1;
}

}  // namespace varn
