#include "ui/display/paint_style.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cmath>

#include "ui/display/colours.h"
#include "ui/display/round_even.h"

namespace varn {

namespace {

constexpr std::array<int, kTextureRows> kTexture = {
    0xC4BDBE, 0xD7D3D4, 0xCFC8C8, 0xD2CCCD, 0xD0CBCB, 0xCCC4C5, 0xCAC3C4, 0xD2CDCE,
    0xC3BBBC, 0xD5D0D1, 0xCEC9C8, 0xD2CDCE, 0xC7C0C2, 0xCDC6C8, 0xD1CCCC, 0xCFC9CA,
    0xD2CCCD, 0xD5CED0, 0xCDC7C6, 0xCFC8C8, 0xD2CDCE, 0xD8D3D4, 0xCCC6C6, 0xD2CCCD,
    0xD7D1D2, 0xC9C2C2, 0xCDC7C8, 0xD0C9C9, 0xD3CECE};


// Nine steps per component from c1 through c2 and c3 towards black.
using Ramp = std::array<ColorParts, 9>;

int RampStep(int a, int b, double wa, double wb) { return RoundEven(wa * a + wb * b); }

Ramp MakeRamp(int c1, int c2, int c3) {
  const ColorParts a = SplitColor(c1), b = SplitColor(c2), c = SplitColor(c3);
  auto mix = [](const ColorParts& x, const ColorParts& y, double wx, double wy) {
    return ColorParts{RampStep(x.R, y.R, wx, wy), RampStep(x.G, y.G, wx, wy),
                      RampStep(x.B, y.B, wx, wy)};
  };
  const ColorParts black{};
  return {a, mix(a, b, 0.66, 0.33),    mix(a, b, 0.33, 0.66),
          b, mix(b, c, 0.66, 0.33),    mix(b, c, 0.33, 0.66),
          c, mix(c, black, 0.66, 0.0), mix(c, black, 0.33, 0.0)};
}

// The colour `fraction` of the way from ramp step `from` to step `to`.
QColor RampColor(const Ramp& ramp, int from, int to, double fraction) {
  const double position = from + fraction * (to - from);
  const int i = std::clamp(static_cast<int>(std::floor(position)), 0, 8);
  const int j = std::min(i + 1, 8);
  const double f = position - i;
  auto lerp = [f](int x, int y) { return std::clamp(RoundEven(x + f * (y - x)), 0, 255); };
  return QColor(lerp(ramp[i].R, ramp[j].R), lerp(ramp[i].G, ramp[j].G), lerp(ramp[i].B, ramp[j].B));
}

struct RampRun {
  int from;
  int to;
  int bands;
};

// Which part of the run each control style shows, top to bottom.
bool RunForStyle(int style, RampRun& run) {
  switch (style) {
    case 0:
      run = {0, 3, 20};
      return true;
    case 10:
      run = {0, 3, 8};
      return true;
    case 1:
      run = {3, 6, 20};
      return true;
    case 11:
      run = {6, 3, 20};
      return true;  // the slider's pressed look
    case 2:
      run = {0, 3, 20};
      return true;
    case 5:
      run = {1, 4, 20};
      return true;
    case 6:
      run = {0, 3, 20};
      return true;
    case 7:
      run = {4, 7, 20};
      return true;
    case 8:
      run = {2, 5, 20};
      return true;
    case 3:
    case 4:
    case 9:
    case 12:
    case 13:
      run = {0, 8, 20};
      return true;
    default:
      return false;
  }
}

void PaintRun(QPainter& painter, const QRect& pixels, const Ramp& ramp, const RampRun& run) {
  const int h = pixels.height();
  const int bands = std::max(1, std::min(run.bands, h));
  for (int k = 0; k < bands; ++k) {
    const int top = pixels.top() + k * h / bands;
    const int bottom = pixels.top() + (k + 1) * h / bands;
    const double fraction = bands > 1 ? static_cast<double>(k) / (bands - 1) : 0.0;
    painter.fillRect(QRect(pixels.left(), top, pixels.width(), bottom - top),
                     RampColor(ramp, run.from, run.to, fraction));
  }
}

// Inclusive pixel box relative to the painted area, as the window frame
// rules give them.
void Box(QPainter& painter, const QRect& area, int x1, int y1, int x2, int y2, int colour) {
  painter.fillRect(
      QRect(QPoint(area.left() + x1, area.top() + y1), QPoint(area.left() + x2, area.top() + y2)),
      ToQColor(colour));
}

void PaintWindowBackground(QPainter& painter, const QRect& pixels, int style, int c2) {
  const int w = pixels.width();
  const int h = pixels.height();
  const ColorParts tint = SplitColor(c2);
  // Rows and boxes reaching past the area (row h, column w) are clipped.
  painter.save();
  painter.setClipRect(pixels, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  for (int y = 1; y <= h; ++y) {
    ColorParts t = SplitColor(kTexture[static_cast<size_t>(y % kTextureRows)]);
    if (style == 15) {
      int shade = 0;
      if (y < 20)
        shade = 3 * (20 - y);
      else if (y > h - 20)
        shade = 3 * (h - y - 20);
      t = {t.R + shade, t.G + shade, t.B + shade};
    }
    const int row = MakeColor(RoundEven(tint.R / 275.0 * t.R + tint.R * 0.25),
                              RoundEven(tint.G / 275.0 * t.G + tint.G * 0.25),
                              RoundEven(tint.B / 275.0 * t.B + tint.B * 0.25));
    Box(painter, pixels, 1, y, w, y, row);
  }
  // The raised edge: two white lines top and left, then light and dark grey
  // at the bottom and right.
  Box(painter, pixels, 1, 1, 1, h - 1, 0xFFFFFF);
  Box(painter, pixels, 1, 1, w - 1, 1, 0xFFFFFF);
  Box(painter, pixels, 0, 0, 0, h, 0xFFFFFF);
  Box(painter, pixels, 0, 0, w, 0, 0xFFFFFF);
  Box(painter, pixels, 2, h - 2, w, h, 0xB0B0B0);
  Box(painter, pixels, w - 2, 2, w, h, 0xB0B0B0);
  Box(painter, pixels, 1, h - 1, w, h, 0x606060);
  Box(painter, pixels, w - 1, 1, w, h, 0x606060);
  painter.restore();
}

}  // namespace

int TextureColor(int row) {
  return kTexture[static_cast<size_t>((row % kTextureRows + kTextureRows) % kTextureRows)];
}

void PaintStyle(QPainter& painter, const QRect& pixels, int style, int c1, int c2, int c3) {
  if (pixels.isEmpty()) return;
  if (c1 == -1) c1 = ThemeColor(0);
  if (c2 == -1) c2 = ThemeColor(1);
  if (c3 == -1) c3 = ThemeColor(2);
  if (style == -2) {
    painter.setBackground(ToQColor(c2));
    painter.fillRect(pixels, ToQColor(c2));
    return;
  }
  if (style == 14 || style == 15) {
    PaintWindowBackground(painter, pixels, style, c2);
    return;
  }
  RampRun run{};
  if (RunForStyle(style, run)) PaintRun(painter, pixels, MakeRamp(c1, c2, c3), run);
}

void BevelFrame(QPainter& painter, const QRect& pixels, int colour1, int colour2, bool noFill,
                int widthPixels) {
  if (pixels.isEmpty()) return;
  if (!noFill) PaintStyle(painter, pixels, 2, colour1, colour2);
  const QColor dark = ToQColor(AdjustColor(colour1, -40, -40, -40, -1));
  const QColor light = ToQColor(AdjustColor(colour2, 40, 40, 40, -1));
  QRect r = pixels;
  for (int i = 0; i < widthPixels && r.width() > 0 && r.height() > 0; ++i) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), dark);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), dark);
    painter.fillRect(QRect(r.left() + 1, r.bottom(), r.width() - 1, 1), light);
    painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 1), light);
    r.adjust(1, 1, -1, -1);
  }
}

void DrawEdgeBox(QPainter& painter, const QRect& pixels, bool sunken) {
  if (pixels.width() < 2 || pixels.height() < 2) return;
  const QPalette palette = QGuiApplication::palette();
  const QColor highlight = palette.color(QPalette::Light);
  const QColor light = palette.color(QPalette::Midlight);
  const QColor shadow = palette.color(QPalette::Mid);
  const QColor darkShadow = palette.color(QPalette::Shadow);
  // Outer ring, then inner ring: top-left colour, bottom-right colour.
  const QColor rings[2][2] = {{sunken ? shadow : light, sunken ? highlight : darkShadow},
                              {sunken ? darkShadow : highlight, sunken ? light : shadow}};
  QRect r = pixels;
  for (const auto& ring : rings) {
    if (r.width() < 1 || r.height() < 1) break;
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), ring[0]);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), ring[0]);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), ring[1]);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), ring[1]);
    r.adjust(1, 1, -1, -1);
  }
}

}  // namespace varn
