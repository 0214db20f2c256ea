#include "analysis/click_detector.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

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

namespace {
// One side of the block, and where its search stands.
struct SideRun {
  int side;
  bool watched;
  int32_t threshold;
  int64_t at = 0;        // the next frame to look at
  int32_t previous = 0;  // the sample before frame `at`
  int32_t since = 0;     // the counter before frame `at`
  int64_t click = 0;     // the next frame with a click, or the block's length
};

template <int kSide>
int32_t Sample(const Frame& f) {
  return kSide == kLeftSide ? f.L : f.R;
}
int32_t Sample(const Frame& f, int side) { return side == kLeftSide ? f.L : f.R; }

int32_t Counted(int32_t since, int64_t frames) {
  return since == kClickCounterStart
             ? since
             : static_cast<int32_t>(std::min<int64_t>(since + frames, kClickCounterStart));
}

// The side's state before frame `to`, with no click between `at` and `to`.
void Advance(SideRun& s, const Frame* f, int64_t to) {
  if (!s.watched || to <= s.at) return;
  s.previous = Sample(f[to - 1], s.side);
  s.since = Counted(s.since, to - s.at);
  s.at = to;
}

// The first frame from i (at least 1) before n whose sample exceeds the one
// before it by more than t, or n. Runs of 16 frames are tested four frames
// at a time without a branch: a frame's two samples fill one 32-bit lane,
// and the side's half is shifted out with its sign. Only a run with a
// candidate is searched frame by frame.
template <int kSide>
int64_t FirstStepAbove(const Frame* f, int64_t i, int64_t n, int32_t t) {
  typedef int32_t Lanes __attribute__((vector_size(16)));
  typedef uint32_t Bits __attribute__((vector_size(16)));
  constexpr bool kLowHalf = (kSide == kLeftSide) == (std::endian::native == std::endian::little);
  const auto side = [](const Frame* p) {
    Bits b;
    std::memcpy(&b, p, sizeof b);
    return kLowHalf ? std::bit_cast<Lanes>(b << 16) >> 16 : std::bit_cast<Lanes>(b) >> 16;
  };
  const Lanes limit = Lanes{} + t;
  constexpr int64_t kRun = 16;
  for (; i + kRun <= n; i += kRun) {
    Lanes over{};
    for (int64_t k = i; k < i + kRun; k += 4) over |= (side(f + k) - side(f + k - 1)) > limit;
    if ((over[0] | over[1] | over[2] | over[3]) != 0) break;
  }
  for (; i < n; ++i)
    if (Sample<kSide>(f[i]) - Sample<kSide>(f[i - 1]) > t) return i;
  return n;
}

// The next click of a side: the first frame from s.at on whose upward step
// exceeds the threshold once the lockout has run out, or n. The counter
// counts every frame up to its ceiling, so the frames still locked out are
// known in advance and skipped.
int64_t NextClick(const SideRun& s, const Frame* f, int64_t n, int32_t lockout) {
  if (!s.watched) return n;
  int64_t i = s.at;
  if (s.since < lockout) {
    if (lockout > kClickCounterStart) return n;  // the counter never gets there
    i += lockout - s.since;
  }
  if (i >= n) return n;
  const int32_t before = i == s.at ? s.previous : Sample(f[i - 1], s.side);
  if (Sample(f[i], s.side) - before > s.threshold) return i;
  return s.side == kLeftSide ? FirstStepAbove<kLeftSide>(f, i + 1, n, s.threshold)
                             : FirstStepAbove<kRightSide>(f, i + 1, n, s.threshold);
}
}  // namespace

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

  // Each side on its own: its clicks depend on its own samples and counter
  // only. The clicks of both are then reported in the order a frame-by-frame
  // pass meets them (left before right within a frame), each with the state
  // both sides have reached there, which is written back before the report
  // so a failing report keeps it.
  const Frame* f = block.data();
  const auto n = static_cast<int64_t>(block.size());
  SideRun l{kLeftSide, left, t.left, 0, previous_[kLeftSide], sinceClick_[kLeftSide]};
  SideRun r{kRightSide, right, t.right, 0, previous_[kRightSide], sinceClick_[kRightSide]};
  l.click = NextClick(l, f, n, t.lockout);
  r.click = NextClick(r, f, n, t.lockout);
  while (l.click < n || r.click < n) {
    const bool isLeft = l.click <= r.click;
    SideRun& c = isLeft ? l : r;
    SideRun& other = isLeft ? r : l;
    const int64_t i = c.click;
    Advance(c, f, i);
    Advance(other, f, isLeft ? i : i + 1);  // the left side has done frame i already
    const int32_t step = Sample(f[i], c.side) - c.previous;
    c.previous = Sample(f[i], c.side);
    c.since = 0;
    c.at = i + 1;
    Report(channel, isLeft ? kLeftSide : kRightSide, step, c.threshold,
           {l.previous, r.previous, l.since, r.since}, events);
    c.since = Counted(0, 1);
    c.click = NextClick(c, f, n, t.lockout);
  }
  Advance(l, f, n);
  Advance(r, f, n);
  previous_ = {static_cast<int16_t>(l.previous), static_cast<int16_t>(r.previous)};
  sinceClick_ = {l.since, r.since};
}

void ClickDetector::Report(int channel, int side, int32_t step, int32_t threshold,
                           std::array<int32_t, 4> reached, AnalysisEvents* events) {
  previous_ = {static_cast<int16_t>(reached[0]), static_cast<int16_t>(reached[1])};
  sinceClick_ = {reached[2], reached[3]};
  if (events) events->Event(ClickMessage(static_cast<double>(step) / threshold), channel, side);
}

}  // namespace varn
