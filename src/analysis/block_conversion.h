#pragma once
// Turning a segment of captured samples into a Block by gain and stereo mode.

#include <cstdint>
#include <span>

#include "analysis/analysis_types.h"

namespace varn {

// The linear gain of a gain in dB; the analysis and the archive apply the
// same one. Clamped to a finite value so an absurd setting still saturates
// cleanly (any gain above 32767 already saturates every non-zero sample).
float AnalysisGain(float recLevelDb);

// Converts `count` frames of interleaved 16-bit samples (1 or 2 channels)
// into `out`: products rounded to nearest, halves to even, and saturated to
// +-32767 (never -32768). A mono capture fills L only, whatever the mode.
void ConvertBlock(const int16_t* samples, int captureChannels, int32_t count, float gain,
                  StereoMode mode, Frame* out);

}  // namespace varn
