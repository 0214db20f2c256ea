#include "analysis/loudness_bar.h"

#include <algorithm>

namespace varn {

namespace {
// Below the scale's floor the number would only grow longer, not truer.
double OnScale(const std::optional<double>& lufs) {
  return lufs ? std::max(*lufs, kNoSignalDb) : kNoSignalDb;
}
}  // namespace

void LoudnessBar(const LoudnessReadings& readings, MeterDrawing& drawing) {
  const auto momentary = static_cast<float>(OnScale(readings.momentaryLufs));
  drawing.texts[0] = MeterNumberText(OnScale(readings.shortTermLufs));
  drawing.bars[0] = VuBarValues{0, momentary, momentary, drawing.texts[0].View(), kNoHoldMark};
  drawing.count = 1;
}

}  // namespace varn
