#pragma once
// The low-level (silence) monitor: RMS over consecutive windows of
// MinGateSpan_ milliseconds that run on across block boundaries; a window
// below MinGateLevel_ logs "レベルDOWN ", a later one at or above it logs
// "レベルUP ".

#include <array>
#include <cstdint>
#include <span>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"

namespace varn {

// The window's entries are only ever summed, so their squares are summed as
// they arrive instead of being stored: the same sums with no S-frame store
// per channel. An entry a side did not write in this window (its side was
// unwatched meanwhile) counts as silence.
struct LowLevelWindow {
  int64_t length = 0;  // S, frames
  int64_t fill = 0;    // fill index
  double sumL = 0.0;
  double sumR = 0.0;
};

class LowLevelMonitor {
 public:
  // round(rate / 1000 * spanMs) frames, halves to even; the fill index goes
  // back to 0. Done whenever the channel's format is set. A span that gives
  // no whole frame leaves the monitor idle.
  void SizeWindow(int32_t sampleRate, int32_t spanMs);
  // Channel start: both sides normal.
  void ResetState() { LowLevelState = {0, 0}; }

  int64_t WindowLength() const { return window_.length; }
  int64_t FillIndex() const { return window_.fill; }
  int32_t State(int side) const { return LowLevelState[side]; }

  // Feeds the block's watched sides into the window, evaluating each window
  // as it completes (left before right).
  void Process(int channel, std::span<const Frame> block, StereoMode mode, float minGateLevel,
               AnalysisEvents* events);

 private:
  void Evaluate(int channel, StereoMode mode, float minGateLevel, AnalysisEvents* events);

  LowLevelWindow window_;
  std::array<int32_t, 2> LowLevelState{0, 0};  // left, right: 1 = low
};

}  // namespace varn
