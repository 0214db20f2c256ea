#include "ui/display/waveform_view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ui/display/colours.h"
#include "ui/display/image_pixels.h"
#include "ui/display/round_even.h"
#include "ui/twips.h"

namespace varn {

namespace {


void DrawTrace(QImage& picture, int x, int centre, double scale, double mean, QRgb colour) {
  FillColumn(picture, x, RoundEven(centre - scale * mean), RoundEven(centre + scale * mean),
             colour);
}

}  // namespace

double WaveScale(int heightPixels, float waveRate) {
  const int pixel = TwipsPerPixel();
  const int quarter = RoundEven(heightPixels * pixel / 4.0) / pixel;
  return quarter / 32767.0 * std::fabs(waveRate);
}

WaveGeometry MakeWaveGeometry(const QSize& view, float waveRate, int samplesPerColumn) {
  WaveGeometry g;
  const int h = view.height();
  g.centreLeft = RoundEven(0.25 * h);
  g.centreRight = RoundEven(0.75 * h);
  g.centreMono = RoundEven(0.5 * h);
  g.stereoScale = WaveScale(h, waveRate);
  g.monoScale = 2.0 * g.stereoScale;
  g.samplesPerColumn = std::max(samplesPerColumn, 1);
  return g;
}

int SamplesPerColumn(int segmentLength, int waveWidth) {
  if (waveWidth <= 0) return std::max(segmentLength, 1);
  return std::max(RoundEven(segmentLength / (waveWidth / 120.0)), 1);
}

namespace {

// The columns a block draws: about a 120th of the width, at least one, so
// even a narrow view moves.
int FreshColumns(int width) {
  return std::clamp(width - RoundEven(119.0 / 120.0 * width), 1, width);
}

// Draws `block` into the view's columns kept..width-1; `column` maps a view
// column to the picture's.
template <typename Column>
void DrawColumns(QImage& picture, int kept, std::span<const Frame> block, StereoMode mode,
                 const WaveGeometry& geometry, Column column) {
  const int width = picture.width();
  const QRgb fore = ToQColor(geometry.foreColor).rgb();
  const size_t perColumn = static_cast<size_t>(std::max(geometry.samplesPerColumn, 1));
  size_t next = 0;
  for (int x = kept; x < width && next < block.size(); ++x) {
    // The last column of a block may get fewer samples; it is still drawn,
    // so no gap opens when the block does not divide evenly.
    const size_t end = std::min(next + perColumn, block.size());
    const double count = static_cast<double>(end - next);
    double sumL = 0.0;
    double sumR = 0.0;
    for (size_t i = next; i < end; ++i) {
      sumL += std::abs(static_cast<int>(block[i].L));
      sumR += std::abs(static_cast<int>(block[i].R));
    }
    next = end;
    const int at = column(x);
    switch (mode) {
      case StereoMode::Stereo:
        DrawTrace(picture, at, geometry.centreLeft, geometry.stereoScale, sumL / count, fore);
        DrawTrace(picture, at, geometry.centreRight, geometry.stereoScale, sumR / count, fore);
        break;
      case StereoMode::MonoRight:
        DrawTrace(picture, at, geometry.centreMono, geometry.monoScale, sumR / count, fore);
        break;
      default:
        DrawTrace(picture, at, geometry.centreMono, geometry.monoScale, sumL / count, fore);
        break;
    }
  }
}

}  // namespace

void DrawWaveform(QImage& picture, std::span<const Frame> block, StereoMode mode,
                  const WaveGeometry& geometry) {
  const int width = picture.width();
  if (width <= 0 || picture.height() <= 0) return;
  // The picture moves by exactly the columns drawn below, so no column of a
  // block is overwritten by the next one.
  const int kept = width - FreshColumns(width);
  ScrollLeft(picture, width - kept);
  FillColumns(picture, kept, width - 1, ToQColor(geometry.backColor).rgb());
  DrawColumns(picture, kept, block, mode, geometry, [](int x) { return x; });
}

void DrawWaveformRing(QImage& picture, int& start, std::span<const Frame> block, StereoMode mode,
                      const WaveGeometry& geometry) {
  const int width = picture.width();
  if (width <= 0 || picture.height() <= 0) return;
  const int fresh = FreshColumns(width);
  const int kept = width - fresh;
  // The oldest columns become the newest: the start moves on by the fresh
  // columns, which now sit at the ring's end.
  start = (std::clamp(start, 0, width - 1) + fresh) % width;
  auto column = [start, width](int x) { return x + start < width ? x + start : x + start - width; };
  const QRgb back = ToQColor(geometry.backColor).rgb();
  const int first = column(kept);
  const int last = column(width - 1);
  if (first <= last) {
    FillColumns(picture, first, last, back);
  } else {
    FillColumns(picture, first, width - 1, back);
    FillColumns(picture, 0, last, back);
  }
  DrawColumns(picture, kept, block, mode, geometry, column);
}

}  // namespace varn
