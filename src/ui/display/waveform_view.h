#pragma once
// The scrolling waveform envelope of a channel's panel. Each analysed block
// moves the picture about a 120th of its width to the left and draws the
// block's envelope into the freed columns, one column per c samples.

#include <QImage>
#include <QSize>
#include <span>

#include "analysis/analysis_types.h"

namespace varn {

struct WaveGeometry {
  // Centre rows of the left, right and single traces.
  int centreLeft = 0;
  int centreRight = 0;
  int centreMono = 0;
  // Pixels per sample unit: two traces (k), and one trace (2k).
  double stereoScale = 0.0;
  double monoScale = 0.0;
  int samplesPerColumn = 1;
  int backColor = 0x000000;
  int foreColor = 0x40D040;
};

// k = (round(height in twips / 4) integer-divided by TwipsPerPixel) / 32767
// x |waveRate|.
double WaveScale(int heightPixels, float waveRate);
// The geometry of a view of `view` pixels: centres at a quarter, three
// quarters and half its height, the two scales from WaveScale.
WaveGeometry MakeWaveGeometry(const QSize& view, float waveRate, int samplesPerColumn);
// round(segmentLength / (waveWidth / 120)), at least 1.
int SamplesPerColumn(int segmentLength, int waveWidth);

// Scrolls `picture` and draws `block` into the freed columns: in Stereo the
// mean |L| around the left centre and the mean |R| around the right one;
// MonoMix and MonoLeft the mean |L|, MonoRight the mean |R|, around the
// middle at the single-trace scale. Call it only while the channel captures.
void DrawWaveform(QImage& picture, std::span<const Frame> block, StereoMode mode,
                  const WaveGeometry& geometry);

// The same view kept as a ring, so no pixel moves: view column x is picture
// column (start + x) mod width. Each block moves `start` on by the columns
// it draws and draws them over the oldest ones; shown from `start`, the
// picture is what DrawWaveform would have made.
void DrawWaveformRing(QImage& picture, int& start, std::span<const Frame> block, StereoMode mode,
                      const WaveGeometry& geometry);

}  // namespace varn
