#pragma once
// Window geometry is kept in twips (1440 per inch) and turned into pixels
// with the screen's twips per pixel, fixed once at start-up from the
// screen's logical DPI: 15 on a 96-DPI screen, 10 on a 144-DPI one.

namespace varn {

int TwipsPerPixel();
void SetTwipsPerPixel(int twipsPerPixel);
// round(1440 / dpi), at least 1.
int TwipsPerPixelForDpi(double logicalDpi);

// Twips to whole pixels (integer division, as every geometry rule uses it)
// and pixels to twips.
inline int TwipsToPixels(double twips) { return static_cast<int>(twips) / TwipsPerPixel(); }
inline int PixelsToTwips(int pixels) { return pixels * TwipsPerPixel(); }

}  // namespace varn
