#include "analysis/click_detector.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysis_texts.h"
#include "analysis/level_math.h"
#include "util/numeric.h"

namespace varn {

namespace {
constexpr double kQuietFloorDb = -40.0;

int32_t SideThreshold(double rmsDb, float base) {
  const float level = DbToLinear(static_cast<float>(std::max(rmsDb, kQuietFloorDb)));
  return RoundToInt32(static_cast<double>(level) * base);
}
}  // namespace

ClickThresholds ComputeClickThresholds(int32_t bitsPerSample, int32_t sensitivity,
                                       const LevelRecord& meterNewest, int32_t sampleRate,
                                       float lockoutSec) {
  ClickThresholds t;
  t.base = static_cast<float>(std::ldexp(1.0, bitsPerSample - 1) / sensitivity * 16.0);
  t.left = SideThreshold(meterNewest.RmsL, t.base);
  t.right = SideThreshold(meterNewest.RmsR, t.base);
  t.lockout = RoundToInt32(static_cast<double>(sampleRate) * lockoutSec);
  return t;
}

void ClickDetector::Reset() {
  previous_ = {0, 0};
  sinceClick_ = {kClickCounterStart, kClickCounterStart};
}

void ClickDetector::Process(int channel, std::span<const Frame> block, const ClickInputs& in,
                            AnalysisEvents* events) {
  if (in.sensitivity <= 0 || block.empty()) return;
  if (in.tickCount == 1) {
    previous_ = {block.back().L, block.back().R};
    return;
  }
  if (in.tickCount <= 1) return;

  const ClickThresholds t =
      ComputeClickThresholds(in.bitsPerSample, in.sensitivity, in.meterNewest, in.sampleRate, in.lockoutSec);
  const bool left = WatchesLeft(in.mode);
  const bool right = WatchesRight(in.mode);
  // A threshold below one sample step (an absurd sensitivity) cannot be
  // expressed as a multiple: the block is not examined.
  if ((left && t.left < 1) || (right && t.right < 1)) return;

  auto step = [&](int side, int16_t sample, int32_t threshold) {
    const int32_t d = static_cast<int32_t>(sample) - previous_[side];
    int32_t& since = sinceClick_[side];
    if (d > threshold && since >= t.lockout) {
      if (events)
        events->Event(ClickMessage(static_cast<double>(d) / threshold), channel, side);
      since = 0;
    }
    if (++since == 2147483647) since = kClickCounterStart;
    previous_[side] = sample;
  };
  for (const Frame& f : block) {
    if (left) step(kLeftSide, f.L, t.left);
    if (right) step(kRightSide, f.R, t.right);
  }
}

}  // namespace varn
