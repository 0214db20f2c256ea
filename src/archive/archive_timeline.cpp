#include "archive/archive_timeline.h"

#include <algorithm>
#include <cmath>

namespace varn {

void ArchiveTimeline::Start(uint32_t rate, double start) {
  *this = ArchiveTimeline{};
  rate_ = static_cast<double>(rate);
  if (start >= 0.0) {
    anchored_ = true;
    anchor_ = start;
  }
}

uint64_t ArchiveTimeline::Shortfall(double at, uint64_t frames) {
  // Frames the clock says should have been captured by `at`, against those
  // there are (placed, and the ones just coming).
  const double due = (at - anchor_) * rate_;
  const double have = static_cast<double>(placed_ + frames);
  const double gap = kArchiveGapSec * rate_;
  if (due - have > gap) return static_cast<uint64_t>(std::llround(due - have));
  // Ahead of the clock by more than the jitter: the device runs fast, and
  // the timeline follows it.
  if (have - due > gap) anchor_ = at - (have - gap) / rate_;
  return 0;
}

uint64_t ArchiveTimeline::BeforeBlock(uint64_t frames, double capturedEnd) {
  if (rate_ <= 0.0) return 0;
  if (!anchored_) {
    anchored_ = true;
    anchor_ = capturedEnd - static_cast<double>(frames) / rate_;
    placed_ = frames;
    return 0;
  }
  const uint64_t silence = Shortfall(capturedEnd, frames);
  placed_ += silence + frames;
  silence_ += silence;
  return silence;
}

uint64_t ArchiveTimeline::CatchUp(double now, uint64_t inFlight) {
  if (rate_ <= 0.0 || !anchored_) return 0;
  const uint64_t silence = Shortfall(now, inFlight);
  placed_ += silence;
  silence_ += silence;
  return silence;
}

}  // namespace varn
