#include "ui/display/colours.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cmath>
#include "ui/display/round_even.h"

namespace varn {

namespace {

int Limit(int component) { return std::clamp(component, 0, 255); }

// Real to integer as every conversion of the program: nearest, ties to even.

// Entries stay 0 until computed, so 0 means "not yet".
std::array<int, 4> gThemeColors{};

}  // namespace

ColorParts SplitColor(int colour) {
  return {colour & 255, (colour >> 8) & 255, (colour >> 16) & 255};
}

int MakeColor(int r, int g, int b) { return Limit(b) * 65536 + Limit(g) * 256 + Limit(r); }

int AdjustColor(int colour, int dR, int dG, int dB, double factor) {
  const ColorParts c = SplitColor(colour);
  if (factor != -1) {
    return MakeColor(RoundEven(c.R * factor), RoundEven(c.G * factor), RoundEven(c.B * factor));
  }
  return MakeColor(c.R + dR, c.G + dG, c.B + dB);
}

int ScaleToBrightness(int colour, int brightness) {
  const ColorParts c = SplitColor(colour);
  const int average = RoundEven((c.R + c.G + c.B) / 3.0);
  // A black system colour has no hue to keep: it becomes the grey of that
  // brightness instead of a division by zero.
  if (average == 0) return MakeColor(brightness, brightness, brightness);
  const double f = static_cast<double>(brightness) / average;
  return MakeColor(RoundEven(f * c.R), RoundEven(f * c.G), RoundEven(f * c.B));
}

int ThemeColor(int index) {
  if (index < 0 || index > 3) return 0;
  int& cached = gThemeColors[static_cast<size_t>(index)];
  if (cached != 0) return cached;
  const QPalette palette = QGuiApplication::palette();
  const int face = FromQColor(palette.color(QPalette::Active, QPalette::Button));
  const int shadow = FromQColor(palette.color(QPalette::Active, QPalette::Dark));
  int colour = 0;
  switch (index) {
    case 0:
      colour = ScaleToBrightness(0xFFFFFF, 255);
      break;
    case 1:
      colour = ScaleToBrightness(face, 200);
      break;
    case 2:
      colour = ScaleToBrightness(shadow, 110);
      break;
    default:
      colour = ScaleToBrightness(face, 60);
      break;
  }
  cached = colour == 0 ? 1 : colour;
  return cached;
}

QColor ToQColor(int bgr) {
  const ColorParts c = SplitColor(bgr);
  return QColor(c.R, c.G, c.B);
}

int FromQColor(const QColor& colour) {
  return MakeColor(colour.red(), colour.green(), colour.blue());
}

}  // namespace varn
