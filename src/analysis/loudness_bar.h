#pragma once
// The meter in LUFS mode: one bar, as a mono channel's meter has, read on
// the meter's own dB scale.

#include "analysis/level_meter.h"
#include "analysis/live_loudness.h"

namespace varn {

// Bar 0 as long as the momentary loudness, its number the short-term
// loudness, no hold mark. A figure that does not exist (no audio yet, or
// silence) shows as no signal does on the other modes: an empty bar, -99.0.
void LoudnessBar(const LoudnessReadings& readings, MeterDrawing& drawing);

}  // namespace varn
