#pragma once
// Taking the newest complete segment out of a channel's capture ring, and
// turning it into a Block by gain and stereo mode.

#include <cstdint>
#include <optional>
#include <span>

#include "analysis/analysis_types.h"
#include "audio/segment_table.h"

namespace varn {

struct CaptureChannel;

// The segment the device is writing, from the last frame it wrote. An empty
// buffer (lastFrame -1) counts as segment 0, and the few frames after
// segment 5 (S is rarely a multiple of 6) count as segment 5, so the block
// sequence stays intact at buffer boundaries.
int32_t CurrentSegment(const SegmentTable& table, int64_t lastFrame);

struct ChosenBlock {
  int32_t bufferIndex = 0;  // capture buffer holding the block
  int32_t segment = 0;      // its segment 0..5
  // Its place in the run's stream of segments: 6 for every buffer of the
  // run before its own, plus its segment.
  int64_t position = 0;
  // False when audio lies between the block chosen before in this run and
  // this one: segments skipped by a stall, or frames lost to an overrun.
  // The first block of a run follows nothing and counts as following.
  bool followsPrevious = true;
};

// Once per tick per running channel: when the device has moved into a new
// segment since the last call, the segment just before the current one (and
// only that one, however far the device moved). The first call after a
// start only records the segment. Updates Segments.lastSegmentSeen,
// lastPosition and lostFramesAtLast.
std::optional<ChosenBlock> ChooseBlock(CaptureChannel& capture);

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
