#pragma once
// Colour arithmetic shared by every window and control. Colours are ints
// 0x00BBGGRR, as the settings store them and every drawing routine takes them.

#include <QColor>

namespace varn {

struct ColorParts {
  int R = 0;
  int G = 0;
  int B = 0;
};

// R = colour & 255, G = (colour / 256) & 255, B = (colour / 65536) & 255.
ColorParts SplitColor(int colour);
// Each component limited to 0..255 first; B * 65536 + G * 256 + R.
int MakeColor(int r, int g, int b);
// factor != -1: every component times factor (rounded, ties to even);
// otherwise dR, dG, dB added. Components are limited to 0..255.
int AdjustColor(int colour, int dR, int dG, int dB, double factor = -1);

// The colour with its average brightness round((R + G + B) / 3) moved to
// `brightness`, each component scaled alike; black, which has no hue to
// keep, becomes the grey of that brightness.
int ScaleToBrightness(int colour, int brightness);

// The four theme colours, cached on first use for the whole run:
// 0 white at brightness 255, 1 button face at 200, 2 button shadow at 110,
// 3 button face at 60. Never 0 (a computed black is kept as 1); an index
// outside 0..3 gives 0.
int ThemeColor(int index);

// A 0x00BBGGRR colour as Qt's colour.
QColor ToQColor(int bgr);
// Qt's colour as 0x00BBGGRR.
int FromQColor(const QColor& colour);

}  // namespace varn
