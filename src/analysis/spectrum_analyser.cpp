#include "analysis/spectrum_analyser.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysis_texts.h"
#include "analysis/level_math.h"
#include "util/numeric.h"
#include "util/timing.h"

namespace varn {

namespace {
constexpr int32_t kFirstChangeBin = 2;
constexpr int32_t kLastChangeBin = 1023;
constexpr double kChangeScale = 1200000.0;
constexpr double kSpectrumQuietFloorDb = -40.0;
constexpr float kChangeSpacingSec = 3.0f;
constexpr int32_t kChangeFirstTick = 8;  // reports only once TickCount exceeds this

// The transform's input for `count` frames: one side / 5, or both / 10.
// Runs of eight frames have a fixed length the compiler can vectorise;
// the division stays a division, for the bits.
void Feed(const Frame* __restrict f, size_t count, StereoMode mode, double* __restrict out) {
  constexpr size_t kRun = 8;
  size_t k = 0;
  switch (mode) {
    case StereoMode::MonoLeft:
      for (; k + kRun <= count; k += kRun)
        for (size_t r = k; r < k + kRun; ++r) out[r] = f[r].L / 5.0;
      for (; k < count; ++k) out[k] = f[k].L / 5.0;
      break;
    case StereoMode::MonoRight:
      for (; k + kRun <= count; k += kRun)
        for (size_t r = k; r < k + kRun; ++r) out[r] = f[r].R / 5.0;
      for (; k < count; ++k) out[k] = f[k].R / 5.0;
      break;
    default:
      for (; k + kRun <= count; k += kRun)
        for (size_t r = k; r < k + kRun; ++r) out[r] = (f[r].L + f[r].R) / 10.0;
      for (; k < count; ++k) out[k] = (f[k].L + f[k].R) / 10.0;
      break;
  }
}
}  // namespace

int32_t SpectrumHistoryRows(int32_t sampleRate, int32_t segmentLength, float seconds) {
  if (segmentLength < 1) return 4;
  const double rows = RoundHalfEven(sampleRate * static_cast<double>(seconds) / segmentLength);
  if (!(rows >= 4.0)) return 4;
  return rows > kMaxSpectrumRows ? kMaxSpectrumRows : static_cast<int32_t>(rows);
}

void SpectrumHistory::Reset(int32_t rows) {
  rows_ = rows > 0 ? rows : 0;
  values_.assign(static_cast<size_t>(rows_) * kRowStride, 0.0);
  oldest_ = 0;
}

const double* SpectrumHistory::Row(int32_t k) const {
  const int32_t i = oldest_ + k;
  return values_.data() + static_cast<size_t>(i >= rows_ ? i - rows_ : i) * kRowStride;
}

double* SpectrumHistory::Newest() { return const_cast<double*>(Row(rows_ - 1)); }

void SpectrumHistory::Advance() {
  if (rows_ > 0) oldest_ = (oldest_ + 1 == rows_) ? 0 : oldest_ + 1;
}

void SlidingRows::Reset(Op op, int32_t window) {
  op_ = op;
  window_ = window > 0 ? window : 0;
  filled_ = 0;
  suffix_.assign(static_cast<size_t>(window_) * kRowStride, 0.0);
  prefix_.assign(kRowStride, 0.0);
}

void SlidingRows::Push(const SpectrumHistory& history) {
  if (window_ == 0 || history.Rows() < window_) return;
  const double* __restrict row = history.Row(history.Rows() - 1);
  double* __restrict prefix = prefix_.data();
  if (op_ == Op::Sum)
    for (int32_t j = 0; j < kRowStride; ++j) prefix[j] += row[j];
  else
    for (int32_t j = 0; j < kRowStride; ++j) prefix[j] = row[j] > prefix[j] ? row[j] : prefix[j];
  if (++filled_ < window_) return;

  // The chunk is complete: it becomes the one folded from the newest back.
  const int32_t first = history.Rows() - window_;
  double* last = suffix_.data() + static_cast<size_t>(window_ - 1) * kRowStride;
  std::copy(row, row + kRowStride, last);
  for (int32_t i = window_ - 2; i >= 0; --i) {
    const double* __restrict r = history.Row(first + i);
    const double* __restrict later = suffix_.data() + static_cast<size_t>(i + 1) * kRowStride;
    double* __restrict out = suffix_.data() + static_cast<size_t>(i) * kRowStride;
    if (op_ == Op::Sum)
      for (int32_t j = 0; j < kRowStride; ++j) out[j] = r[j] + later[j];
    else
      for (int32_t j = 0; j < kRowStride; ++j) out[j] = r[j] > later[j] ? r[j] : later[j];
  }
  std::fill(prefix_.begin(), prefix_.end(), 0.0);
  filled_ = 0;
}

void SlidingRows::Result(double* __restrict out) const {
  if (window_ == 0) {
    std::fill(out, out + kRowStride, 0.0);
    return;
  }
  // The last chunk's rows from `filled_` on are still in the window.
  const double* __restrict older = suffix_.data() + static_cast<size_t>(filled_) * kRowStride;
  if (filled_ == 0) {
    std::copy(older, older + kRowStride, out);
    return;
  }
  const double* __restrict prefix = prefix_.data();
  if (op_ == Op::Sum)
    for (int32_t j = 0; j < kRowStride; ++j) out[j] = older[j] + prefix[j];
  else
    for (int32_t j = 0; j < kRowStride; ++j) out[j] = older[j] > prefix[j] ? older[j] : prefix[j];
}

void SpectrumAnalyser::Start(int32_t sampleRate, int32_t segmentLength,
                             const MonitorSettings& settings) {
  fft_.Init(kSpectrumPoints);
  fill_ = 0;
  const int32_t n = SpectrumHistoryRows(sampleRate, segmentLength, settings.fftAvrSec);
  const int32_t m = SpectrumHistoryRows(sampleRate, segmentLength, settings.peakHoldSec);
  transforms_.Reset(n);
  averages_.Reset(m);
  transformSum_.Reset(SlidingRows::Op::Sum, n);
  newerHalfSum_.Reset(SlidingRows::Op::Sum, m - m / 2);
  averagesMax_.Reset(SlidingRows::Op::Max, m);
  infinitePeak_.assign(kRowStride, 0.0);
  averaged_.assign(kRowStride, 0.0);
  hold_.assign(kRowStride, 0.0);
  scratch_.assign(kRowStride, 0.0);
  change0_ = 0.0;
  change1_ = 0.0;
}

void SpectrumAnalyser::TakeTransform() {
  transforms_.Advance();
  fft_.FourierTransform();
  double* __restrict row = transforms_.Newest();
  const double* __restrict out = fft_.RealOuts().data();
  // Bins 0..1023 in a loop of fixed length, then bin 1024.
  for (int32_t j = 0; j < kSpectrumBins - 1; ++j) row[j] = std::fabs(out[j]);
  row[kSpectrumBins - 1] = std::fabs(out[kSpectrumBins - 1]);
  transformSum_.Push(transforms_);
}

double SpectrumAnalyser::ChangeValue(const SpectrumInputs& in) {
  const LevelRecord& r = in.meterNewest;
  double levelSum = 0.0;
  int sides = 0;
  if (WatchesLeft(in.mode)) {
    levelSum += r.RmsL;
    ++sides;
  }
  if (WatchesRight(in.mode)) {
    levelSum += r.RmsR;
    ++sides;
  }
  float level = static_cast<float>(levelSum / sides);
  if (level < kSpectrumQuietFloorDb) level = static_cast<float>(kSpectrumQuietFloorDb);

  // The reference sums the newer half of the averaged spectra but divides by
  // all m rows.
  const double m = averages_.Rows();
  double* __restrict ref = scratch_.data();
  newerHalfSum_.Result(ref);
  const int32_t n = transforms_.Rows();
  const double* __restrict newest = transforms_.Row(n - 1);
  const double* __restrict previous = transforms_.Row(n - 2);
  // Each bin's term over whole rows (a fixed length the compiler can
  // vectorise), then the sum bin by bin in order.
  for (int32_t j = 0; j < kRowStride; ++j)
    ref[j] = std::fabs(ref[j] / m - (newest[j] + previous[j]) / 2.0);
  double d = 0.0;
  for (int32_t j = kFirstChangeBin; j <= kLastChangeBin; ++j) d += ref[j];
  d /= kChangeScale;
  return d * DbToLinear(-level);
}

void SpectrumAnalyser::Process(int channel, std::span<const Frame> block, const SpectrumInputs& in,
                               const Clock& clock, AnalysisEvents* events, AnalysisView* view) {
  if (block.size() < static_cast<size_t>(kSpectrumPoints) || fft_.Size() != kSpectrumPoints ||
      transforms_.Rows() < 2 || averages_.Rows() < 1)
    return;

  // Fed up to the end of the block or the next transform, whichever is first.
  for (size_t i = 0; i < block.size();) {
    const size_t take = std::min(block.size() - i, static_cast<size_t>(kSpectrumPoints - fill_));
    Feed(block.data() + i, take, in.mode, fft_.Inputs().data() + fill_);
    fill_ += static_cast<int32_t>(take);
    i += take;
    if (fill_ == kSpectrumPoints) {
      fill_ = 0;
      TakeTransform();
    }
  }

  if (in.fftSense > 0) {
    const double d = ChangeValue(in);
    const double sum3 = d + change0_ + change1_;
    change0_ = change1_;
    change1_ = d;
    // At sensitivity 100 (or a stored value above it) the threshold is not
    // positive and every block would qualify: no event is reported.
    const int32_t threshold = 100 - in.fftSense;
    if (threshold > 0 && in.tickCount > kChangeFirstTick && sum3 > threshold &&
        (!lastChangeEventTime || ElapsedSec(*lastChangeEventTime, clock) > kChangeSpacingSec)) {
      if (events) events->Event(SpectrumChangeMessage(sum3 / threshold), channel, kWholeChannel);
      lastChangeEventTime = static_cast<float>(ClampedTimeOfDay(clock));
    }
  }

  // The averaged spectrum becomes the newest row of H and raises the
  // infinite peak.
  averages_.Advance();
  double* __restrict a = averaged_.data();
  transformSum_.Result(a);
  const double n = transforms_.Rows();
  double* __restrict newestAverage = averages_.Newest();
  double* __restrict peak = infinitePeak_.data();
  // Over whole rows: bin 0 and the padding hold 0 in every row, so they
  // stay 0 here too, and the fixed length lets the compiler vectorise.
  a[0] = 0.0;
  for (int32_t j = 0; j < kRowStride; ++j) {
    a[j] /= n;
    newestAverage[j] = a[j];
    peak[j] = a[j] > peak[j] ? a[j] : peak[j];
  }
  newerHalfSum_.Push(averages_);
  averagesMax_.Push(averages_);

  double* hold = hold_.data();
  if (in.fftInfinite != 0)
    std::copy(peak, peak + kRowStride, hold);
  else
    averagesMax_.Result(hold);
  hold[0] = 0.0;
  if (view) view->DrawSpectrum(channel, Averaged(), Hold());
}

}  // namespace varn
