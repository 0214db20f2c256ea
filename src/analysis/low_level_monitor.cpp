#include "analysis/low_level_monitor.h"

#include <cmath>

#include "analysis/analysis_texts.h"
#include "analysis/level_meter.h"

namespace varn {

void LowLevelMonitor::SizeWindow(int32_t sampleRate, int32_t spanMs) {
  const double frames = std::nearbyint(sampleRate / 1000.0 * spanMs);
  window_ = LowLevelWindow{};
  window_.length = (frames >= 1.0 && frames < 9.0e15) ? static_cast<int64_t>(frames) : 0;
}

void LowLevelMonitor::Process(int channel, std::span<const Frame> block, StereoMode mode,
                              float minGateLevel, AnalysisEvents* events) {
  if (window_.length < 1) return;
  const bool left = WatchesLeft(mode);
  const bool right = WatchesRight(mode);
  size_t i = 0;
  while (i < block.size()) {
    // Up to the end of the block or of the window, whichever comes first.
    const size_t room = static_cast<size_t>(window_.length - window_.fill);
    const size_t end = block.size() - i < room ? block.size() : i + room;
    // Squares of 16-bit samples summed in 64-bit integers are exact, as the
    // double sums are for any window shorter than several minutes.
    int64_t sumL = 0;
    int64_t sumR = 0;
    for (size_t k = i; k < end; ++k) {
      sumL += static_cast<int32_t>(block[k].L) * block[k].L;
      sumR += static_cast<int32_t>(block[k].R) * block[k].R;
    }
    if (left) window_.sumL += static_cast<double>(sumL);
    if (right) window_.sumR += static_cast<double>(sumR);
    window_.fill += static_cast<int64_t>(end - i);
    i = end;
    if (window_.fill >= window_.length) Evaluate(channel, mode, minGateLevel, events);
  }
}

void LowLevelMonitor::Evaluate(int channel, StereoMode mode, float minGateLevel,
                               AnalysisEvents* events) {
  const double rms[2] = {RmsDb(window_.sumL, window_.length), RmsDb(window_.sumR, window_.length)};
  window_.fill = 0;
  window_.sumL = 0.0;
  window_.sumR = 0.0;
  for (int side : {kLeftSide, kRightSide}) {
    if (side == kLeftSide ? !WatchesLeft(mode) : !WatchesRight(mode)) continue;
    const double v = rms[side];
    if (v >= minGateLevel) {
      if (LowLevelState[side] == 1) {
        LowLevelState[side] = 0;
        if (events) events->Event(LowLevelMessage(true, v), channel, side);
      }
    } else if (LowLevelState[side] == 0) {
      LowLevelState[side] = 1;
      if (events) events->Event(LowLevelMessage(false, v), channel, side);
    }
  }
}

}  // namespace varn
