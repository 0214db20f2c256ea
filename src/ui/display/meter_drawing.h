#pragma once
// The channel panel's meter: a background image holding everything static
// (frame, bar labels, dB scale, mode caption), copied onto the live meter
// image before every update so the scale is never redrawn per block.

#include <QImage>
#include <QString>
#include <span>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"

namespace varn {

class C_VU;

// "RMS", "Peak" or "PH" for text mode 0, 1 or 2.
QString MeterModeCaption(MeterTextMode mode);

struct MeterCaptionFont {
  QString family;  // empty: the application font's
  float points = 9.0f;
  float panelScale = 1.0f;  // lifts the caption off the bottom edge
};

// Rebuilds `background` (cleared, bevelled frame, the meter's scale, the
// caption) and copies it onto the meter's picture. `background` has the
// meter picture's size; `vu` is configured (SetParms done).
void DrawMeterBackground(C_VU& vu, QImage& background, MeterTextMode mode,
                         const MeterCaptionFont& caption);

// One analysed block: the background copied onto the meter's picture, then
// each bar drawn with one painter.
void DrawMeter(C_VU& vu, const QImage& background, std::span<const VuBarValues> bars);

}  // namespace varn
