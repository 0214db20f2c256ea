#pragma once
// The six segments of a capture buffer: the unit of analysis and of monitor
// output. Segment k covers frames k*seg .. (k+1)*seg - 1 of a block.

#include <array>
#include <cstdint>
#include <optional>

namespace varn {

struct SegmentTable {
  int32_t segmentLength = 0;
  std::array<int32_t, 6> first{};
  std::array<int32_t, 6> last{};  // inclusive
  int32_t lastSegmentSeen = -1;   // owned by the analysis pass
  // Also the pass's: the stream position of the last block it chose in this
  // run, and CaptureChannel::LostFrames at that moment.
  std::optional<int64_t> lastPosition;
  uint64_t lostFramesAtLast = 0;

  static SegmentTable Build(int32_t samplesPerBuffer) {
    SegmentTable t;
    t.segmentLength = samplesPerBuffer / 6;
    for (int k = 0; k < 6; ++k) {
      t.first[k] = k * t.segmentLength;
      t.last[k] = (k + 1) * t.segmentLength - 1;
    }
    return t;
  }
};

}  // namespace varn
