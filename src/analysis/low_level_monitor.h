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

class LowLevelMonitor {
 public:
  // round(rate / 1000 * spanMs) frames, halves to even; the fill index goes
  // back to 0. Done whenever the channel's format is set. A span that gives
  // no whole frame leaves the monitor idle.
  void SizeWindow(int32_t sampleRate, int32_t spanMs);
  // Channel start: both sides normal.
  void ResetState() { state_ = {0, 0}; }

  int64_t WindowLength() const { return length_; }
  int64_t FillIndex() const { return fill_; }
  int32_t State(int side) const { return state_[side]; }

  // Feeds the block's watched sides into the window, evaluating each window
  // as it completes (left before right).
  void Process(int channel, std::span<const Frame> block, StereoMode mode, float minGateLevel,
               AnalysisEvents* events);

 private:
  void Evaluate(int channel, StereoMode mode, float minGateLevel, AnalysisEvents* events);

  int64_t length_ = 0;  // S
  int64_t fill_ = 0;
  // The window's entries are only ever summed, so their squares are summed
  // as they arrive instead of being stored: the same sums in the same order,
  // with no S-frame store per channel. An entry a side did not write in this
  // window (its side unwatched meanwhile) counts as silence.
  double sumL_ = 0.0;
  double sumR_ = 0.0;
  std::array<int32_t, 2> state_{0, 0};
};

}  // namespace varn
