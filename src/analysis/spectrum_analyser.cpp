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
constexpr double kQuietFloorDb = -40.0;
constexpr float kChangeSpacingSec = 3.0f;
constexpr int32_t kChangeFirstTick = 8;  // reports only once TickCount exceeds this
}  // namespace

int32_t SpectrumHistoryRows(int32_t sampleRate, int32_t segmentLength, float seconds) {
  if (segmentLength < 1) return 4;
  const double rows = RoundHalfEven(sampleRate * static_cast<double>(seconds) / segmentLength);
  if (!(rows >= 4.0)) return 4;
  return rows > kMaxSpectrumRows ? kMaxSpectrumRows : static_cast<int32_t>(rows);
}

void SpectrumHistory::Reset(int32_t rows) {
  rows_ = rows > 0 ? rows : 0;
  values_.assign(static_cast<size_t>(rows_) * kSpectrumBins, 0.0);
  oldest_ = 0;
}

const double* SpectrumHistory::Row(int32_t k) const {
  const int32_t i = oldest_ + k;
  return values_.data() + static_cast<size_t>(i >= rows_ ? i - rows_ : i) * kSpectrumBins;
}

double* SpectrumHistory::Newest() { return const_cast<double*>(Row(rows_ - 1)); }

void SpectrumHistory::Advance() {
  if (rows_ > 0) oldest_ = (oldest_ + 1 == rows_) ? 0 : oldest_ + 1;
}

void SpectrumAnalyser::Start(int32_t sampleRate, int32_t segmentLength,
                             const MonitorSettings& settings) {
  fft_.Init(kSpectrumPoints);
  fill_ = 0;
  transforms_.Reset(SpectrumHistoryRows(sampleRate, segmentLength, settings.fftAvrSec));
  averages_.Reset(SpectrumHistoryRows(sampleRate, segmentLength, settings.peakHoldSec));
  infinitePeak_.assign(kSpectrumBins, 0.0);
  averaged_.assign(kSpectrumBins, 0.0);
  hold_.assign(kSpectrumBins, 0.0);
  scratch_.assign(kSpectrumBins, 0.0);
  change0_ = 0.0;
  change1_ = 0.0;
}

void SpectrumAnalyser::TakeTransform() {
  transforms_.Advance();
  fft_.FourierTransform();
  double* row = transforms_.Newest();
  for (int32_t j = 0; j < kSpectrumBins; ++j) row[j] = std::fabs(fft_.RealOut(j));
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
  if (level < kQuietFloorDb) level = static_cast<float>(kQuietFloorDb);

  // The reference sums the newer half of the averaged spectra but divides by
  // all m rows.
  const int32_t m = averages_.Rows();
  double* ref = scratch_.data();
  std::fill(ref + kFirstChangeBin, ref + kLastChangeBin + 1, 0.0);
  for (int32_t k = m / 2; k < m; ++k) {
    const double* row = averages_.Row(k);
    for (int32_t j = kFirstChangeBin; j <= kLastChangeBin; ++j) ref[j] += row[j];
  }
  const int32_t n = transforms_.Rows();
  const double* newest = transforms_.Row(n - 1);
  const double* previous = transforms_.Row(n - 2);
  double d = 0.0;
  for (int32_t j = kFirstChangeBin; j <= kLastChangeBin; ++j)
    d += std::fabs(ref[j] / m - (newest[j] + previous[j]) / 2.0);
  d /= kChangeScale;
  return d * DbToLinear(-level);
}

void SpectrumAnalyser::Process(int channel, std::span<const Frame> block, const SpectrumInputs& in,
                               const Clock& clock, AnalysisEvents* events, AnalysisView* view) {
  if (block.size() < static_cast<size_t>(kSpectrumPoints) || fft_.Size() != kSpectrumPoints ||
      transforms_.Rows() < 2 || averages_.Rows() < 1)
    return;

  for (const Frame& f : block) {
    double x;
    switch (in.mode) {
      case StereoMode::MonoLeft: x = f.L / 5.0; break;
      case StereoMode::MonoRight: x = f.R / 5.0; break;
      default: x = (f.L + f.R) / 10.0; break;
    }
    fft_.RealIn(fill_, x);
    if (++fill_ == kSpectrumPoints) {
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

  averages_.Advance();
  // The averaged spectrum, oldest row first, into the newest hold row and
  // the infinite peak.
  const int32_t n = transforms_.Rows();
  double* a = averaged_.data();
  std::fill(a, a + kSpectrumBins, 0.0);
  for (int32_t k = 0; k < n; ++k) {
    const double* row = transforms_.Row(k);
    for (int32_t j = 1; j < kSpectrumBins; ++j) a[j] += row[j];
  }
  double* newestAverage = averages_.Newest();
  double* peak = infinitePeak_.data();
  for (int32_t j = 1; j < kSpectrumBins; ++j) {
    a[j] /= n;
    newestAverage[j] = a[j];
    if (a[j] > peak[j]) peak[j] = a[j];
  }

  double* hold = hold_.data();
  if (in.fftInfinite != 0) {
    std::copy(peak, peak + kSpectrumBins, hold);
  } else {
    std::fill(hold, hold + kSpectrumBins, 0.0);
    for (int32_t k = 0; k < averages_.Rows(); ++k) {
      const double* row = averages_.Row(k);
      for (int32_t j = 1; j < kSpectrumBins; ++j) hold[j] = row[j] > hold[j] ? row[j] : hold[j];
    }
  }
  hold[0] = 0.0;
  if (view) view->DrawSpectrum(channel, averaged_, hold_);
}

}  // namespace varn
