#pragma once
// The click-noise detector: an upward step between two consecutive samples
// larger than a threshold set by the sensitivity and the channel's current
// RMS level logs "プチ音検出 " with the step as a multiple of the threshold,
// then that side stays quiet for PuchiOKLength_ seconds counted from the
// reported click.

#include <array>
#include <cstdint>
#include <span>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"

namespace varn {

inline constexpr int32_t kClickCounterStart = 2147483646;

struct ClickThresholds {
  float base = 0.0f;    // B
  int32_t left = 0;     // TL
  int32_t right = 0;    // TR
  int32_t lockout = 0;  // K, frames
};

// B = 2^(bits-1) / sensitivity * 16; T = round(DbToLinear(max(rms, -40)) * B)
// per side; K = round(rate * lockout seconds).
ClickThresholds ComputeClickThresholds(int32_t bitsPerSample, int32_t sensitivity,
                                       const LevelRecord& meterNewest, int32_t sampleRate,
                                       float lockoutSec);

struct ClickInputs {
  int32_t tickCount = 0;
  StereoMode mode = StereoMode::Stereo;
  LevelRecord meterNewest;  // the newest meter entry: the previous block's level
  int32_t bitsPerSample = 16;
  int32_t sampleRate = 0;
  int32_t sensitivity = 50;  // PuchiSense_
  float lockoutSec = 1.0f;   // PuchiOKLength_
};

class ClickDetector {
 public:
  // Channel start: previous samples 0, counters high, so the first
  // qualifying step is reported at once.
  void Reset();
  // Runs over one block. With TickCount 1 it only primes the previous
  // samples with the block's last frame; it detects once TickCount > 1.
  void Process(int channel, std::span<const Frame> block, const ClickInputs& in,
               AnalysisEvents* events);
  // Before a block that does not follow the last one: the step into its
  // first frame spans missing audio, so that frame becomes the previous
  // sample. The lockout counters keep running.
  void Rejoin(const Frame& first);

  int16_t Previous(int side) const { return previous_[side]; }
  int32_t FramesSinceClick(int side) const { return sinceClick_[side]; }

 private:
  // Logs one click; `reached` holds the previous samples and counters of
  // both sides at that frame.
  [[gnu::noinline, gnu::cold]] void Report(int channel, int side, int32_t step, int32_t threshold,
                                           std::array<int32_t, 4> reached, AnalysisEvents* events);

  std::array<int16_t, 2> previous_{0, 0};
  std::array<int32_t, 2> sinceClick_{kClickCounterStart, kClickCounterStart};
};

}  // namespace varn
