#include "audio/stream/drift_steer.h"

#include <algorithm>
#include <cmath>

namespace varn {

int DriftSteer::Next(size_t fillFrames) {
  const double fill = static_cast<double>(fillFrames);
  smoothed_ = smoothed_ < 0 ? fill : (1.0 - kSmoothing) * smoothed_ + kSmoothing * fill;
  const double error = smoothed_ - static_cast<double>(target_);
  const double limit = kMaxSteer * rate_;
  return static_cast<int>(std::lround(std::clamp(-error * kShare, -limit, limit)));
}

}  // namespace varn
