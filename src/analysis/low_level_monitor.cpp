#include "analysis/low_level_monitor.h"

#include <cmath>

#include "analysis/analysis_texts.h"
#include "analysis/level_meter.h"

namespace varn {

void LowLevelMonitor::SizeWindow(int32_t sampleRate, int32_t spanMs) {
  const double frames = std::nearbyint(sampleRate / 1000.0 * spanMs);
  length_ = (frames >= 1.0 && frames < 9.0e15) ? static_cast<int64_t>(frames) : 0;
  fill_ = 0;
  sumL_ = 0.0;
  sumR_ = 0.0;
}

void LowLevelMonitor::Process(int channel, std::span<const Frame> block, StereoMode mode,
                              float minGateLevel, AnalysisEvents* events) {
  if (length_ < 1) return;
  const bool left = WatchesLeft(mode);
  const bool right = WatchesRight(mode);
  for (const Frame& f : block) {
    if (left) sumL_ += static_cast<double>(f.L * f.L);
    if (right) sumR_ += static_cast<double>(f.R * f.R);
    if (++fill_ >= length_) Evaluate(channel, mode, minGateLevel, events);
  }
}

void LowLevelMonitor::Evaluate(int channel, StereoMode mode, float minGateLevel,
                               AnalysisEvents* events) {
  const double rms[2] = {RmsDb(sumL_, length_), RmsDb(sumR_, length_)};
  fill_ = 0;
  sumL_ = 0.0;
  sumR_ = 0.0;
  for (int side : {kLeftSide, kRightSide}) {
    if (side == kLeftSide ? !WatchesLeft(mode) : !WatchesRight(mode)) continue;
    const double v = rms[side];
    if (v >= minGateLevel) {
      if (state_[side] == 1) {
        state_[side] = 0;
        if (events) events->Event(LowLevelMessage(true, v), channel, side);
      }
    } else if (state_[side] == 0) {
      state_[side] = 1;
      if (events) events->Event(LowLevelMessage(false, v), channel, side);
    }
  }
}

}  // namespace varn
