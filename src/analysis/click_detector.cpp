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

void ClickDetector::Rejoin(const Frame& first) { previous_ = {first.L, first.R}; }

void ClickDetector::Process(int channel, std::span<const Frame> block, const ClickInputs& in,
                            AnalysisEvents* events) {
  if (in.sensitivity <= 0 || block.empty()) return;
  if (in.tickCount == 1) {
    previous_ = {block.back().L, block.back().R};
    return;
  }
  if (in.tickCount <= 1) return;

  const ClickThresholds t = ComputeClickThresholds(in.bitsPerSample, in.sensitivity, in.meterNewest,
                                                   in.sampleRate, in.lockoutSec);
  const bool left = WatchesLeft(in.mode);
  const bool right = WatchesRight(in.mode);
  // A threshold below one sample step (an absurd sensitivity) cannot be
  // expressed as a multiple: the block is not examined.
  if ((left && t.left < 1) || (right && t.right < 1)) return;

  // The sides' state lives in locals while the block runs; it is written
  // back before an event is reported, so a failing report keeps what was
  // reached.
  int32_t prevL = previous_[kLeftSide];
  int32_t prevR = previous_[kRightSide];
  int32_t sinceL = sinceClick_[kLeftSide];
  int32_t sinceR = sinceClick_[kRightSide];
  const int64_t lockoutLess1 = static_cast<int64_t>(t.lockout) - 1;
  for (const Frame& f : block) {
    if (left) {
      const int32_t d = f.L - prevL;
      prevL = f.L;
      // d > TL and since >= K, as one test: both differences are negative.
      // On noise the step test alone is a coin toss the processor cannot
      // predict, so it must not be a branch of its own.
      if (((t.left - static_cast<int64_t>(d)) & (lockoutLess1 - sinceL)) < 0) [[unlikely]] {
        sinceL = 0;
        Report(channel, kLeftSide, d, t.left, {prevL, prevR, sinceL, sinceR}, events);
      }
      sinceL = sinceL == kClickCounterStart ? sinceL : sinceL + 1;  // stops one short of 2^31 - 1
    }
    if (right) {
      const int32_t d = f.R - prevR;
      prevR = f.R;
      if (((t.right - static_cast<int64_t>(d)) & (lockoutLess1 - sinceR)) < 0) [[unlikely]] {
        sinceR = 0;
        Report(channel, kRightSide, d, t.right, {prevL, prevR, sinceL, sinceR}, events);
      }
      sinceR = sinceR == kClickCounterStart ? sinceR : sinceR + 1;
    }
  }
  previous_ = {static_cast<int16_t>(prevL), static_cast<int16_t>(prevR)};
  sinceClick_ = {sinceL, sinceR};
}

void ClickDetector::Report(int channel, int side, int32_t step, int32_t threshold,
                           std::array<int32_t, 4> reached, AnalysisEvents* events) {
  previous_ = {static_cast<int16_t>(reached[0]), static_cast<int16_t>(reached[1])};
  sinceClick_ = {reached[2], reached[3]};
  if (events) events->Event(ClickMessage(static_cast<double>(step) / threshold), channel, side);
}

}  // namespace varn
