#include "engine/line_watch.h"

namespace varn {

void InputWatch::Start(double now) {
  *this = InputWatch{};
  startedAt_ = now;
}

InputWatch::Change InputWatch::Observe(uint64_t completed, uint32_t bytes, double now,
                                       double timeoutSec) {
  const bool arrived = completed != completed_ || bytes != bytes_;
  completed_ = completed;
  bytes_ = bytes;
  if (arrived) {
    const double since = hadData_ ? lastDataAt_ : startedAt_;
    hadData_ = true;
    lastDataAt_ = now;
    if (!stalled_) return Change::None;
    stalled_ = false;
    interruption_ = now - since;
    return Change::Resumed;
  }
  const double quietSince = hadData_ ? lastDataAt_ : startedAt_ + kInputGraceSec;
  if (stalled_ || now - quietSince < timeoutSec) return Change::None;
  stalled_ = true;
  return Change::Stalled;
}

void LossWatch::Start(uint64_t lostSoFar, double framesPerSecond) {
  const double lostSeconds = lostSeconds_;
  *this = LossWatch{};
  seen_ = lostSoFar;
  rate_ = framesPerSecond;
  lostSeconds_ = lostSeconds;
}

uint64_t LossWatch::Observe(uint64_t lostTotal, double now) {
  if (lostTotal > seen_) {
    if (rate_ > 0) lostSeconds_ += static_cast<double>(lostTotal - seen_) / rate_;
    incident_ += lostTotal - seen_;
    seen_ = lostTotal;
    lastLossAt_ = now;
    return 0;
  }
  if (incident_ == 0 || now - lastLossAt_ < kLossJoinSec) return 0;
  return Finish();
}

uint64_t LossWatch::Finish() {
  const uint64_t frames = incident_;
  incident_ = 0;
  return frames;
}

}  // namespace varn
