#pragma once
// The channel panel's meter: a background image holding everything static
// (frame, bar labels, dB scale, mode caption) under the live bars, so the
// scale is never redrawn per block.

#include <QImage>
#include <QRegion>
#include <QString>
#include <span>
#include <vector>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"
#include "ui/display/c_vu.h"

namespace varn {

// "RMS", "Peak", "PH" or "LUFS" for text mode 0, 1, 2 or 3.
QString MeterModeCaption(MeterTextMode mode);

struct MeterCaptionFont {
  QString family;  // empty: the UI face
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

// The live meter: the same picture as DrawMeter makes, reached by restoring
// the background and redrawing the bars only where a bar or its figure
// changed since the last update. Anything else that alters the picture
// meanwhile makes the next update a whole one.
class LiveMeter {
 public:
  // Returns the area of the picture that changed (empty when none did).
  QRegion Update(C_VU& vu, const QImage& background, std::span<const VuBarValues> bars);
  // The bars as the last update drew them.
  const std::vector<VuBarShape>& Shown() const { return shown_; }

 private:
  QRegion Changed(const C_VU& vu, const std::vector<VuBarShape>& next) const;

  std::vector<VuBarShape> shown_;
  qint64 pictureKey_ = 0;  // the picture as the last update left it
};

}  // namespace varn
