#pragma once
// The running spectrum of a channel and the spectrum-change monitor. Each
// block's samples are fed into the channel's 2048-point transform, a
// transform is taken every 2048 samples (across block boundaries), the last
// FFTAvrSec_ seconds of transforms are averaged for the view, and the
// averaged spectra of the last PeakHoldSec_ seconds give the hold curve. The
// change monitor compares the newest spectra with the recent average,
// normalised by the level, and logs "FFT変化 " when the change stays large.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"
#include "analysis/c_fft.h"
#include "analysis/monitor_settings.h"
#include "util/clock.h"

namespace varn {

inline constexpr int32_t kSpectrumPoints = 2048;
// A stored row: bins 0..1024 and zero padding, so loops over whole rows have
// a fixed length the compiler can vectorise.
inline constexpr int32_t kRowStride = 1032;
// History lengths in rows: at least 4, and at most this many, so a
// hand-edited time cannot make a channel allocate or scan without bound.
inline constexpr int32_t kMaxSpectrumRows = 1024;

// n = round(rate * FFTAvrSec_ / segment length), m = the same with
// PeakHoldSec_; each at least 4.
int32_t SpectrumHistoryRows(int32_t sampleRate, int32_t segmentLength, float seconds);

// Rows of kRowStride values in a ring, oldest first. Advancing drops the
// oldest row and hands it back as the newest: the same as moving rows
// 1..n-1 down by one, without moving anything.
class SpectrumHistory {
 public:
  void Reset(int32_t rows);
  int32_t Rows() const { return rows_; }
  const double* Row(int32_t k) const;  // 0 the oldest
  double* Newest();
  void Advance();

 private:
  std::vector<double> values_;
  int32_t rows_ = 0;
  int32_t oldest_ = 0;
};

// The per-bin sum or maximum of the newest `window` rows of a history, kept
// up to date with a few passes over one row per new row instead of a pass
// over every row (a history can hold hundreds of rows at high rates). The
// rows of the last completed chunk of `window` rows are folded from the
// newest back (suffixes), the rows of the chunk being filled are folded as
// they come (prefix), and the window is one suffix combined with the prefix.
// Maxima are exact; sums differ from a front-to-back sum only in rounding.
class SlidingRows {
 public:
  enum class Op { Sum, Max };
  // As if `window` rows of zeros had come before.
  void Reset(Op op, int32_t window);
  // After `history` got its newest row.
  void Push(const SpectrumHistory& history);
  // The aggregate of the newest `window` rows, kRowStride values.
  void Result(double* out) const;

 private:
  Op op_ = Op::Sum;
  int32_t window_ = 0;
  int32_t filled_ = 0;          // rows in the chunk being filled
  std::vector<double> suffix_;  // window rows: fold of rows i..window-1 of the last chunk
  std::vector<double> prefix_;  // fold of the chunk being filled
};

struct SpectrumInputs {
  int32_t tickCount = 0;
  StereoMode mode = StereoMode::Stereo;
  LevelRecord meterNewest;  // level of the previous block
  int32_t fftSense = 50;    // FFTSense_
  int32_t fftInfinite = 0;  // FFTInfinite_
};

class SpectrumAnalyser {
 public:
  // Channel start: the transform, both histories, the infinite peak, the
  // fill index and the change history start from zero. The time of the last
  // change event is kept.
  void Start(int32_t sampleRate, int32_t segmentLength, const MonitorSettings& settings);

  // One analysed block; a block shorter than 2048 frames changes nothing.
  void Process(int channel, std::span<const Frame> block, const SpectrumInputs& in,
               const Clock& clock, AnalysisEvents* events, AnalysisView* view);

  // Seconds since midnight of the last "FFT変化 " event: 0 (midnight) when
  // the panels are built, kept across restarts. Empty means there was no
  // earlier event at all (a file being analysed), so the first may come at
  // any time.
  std::optional<float> lastChangeEventTime = 0.0f;

  int32_t FillIndex() const { return fill_; }
  int32_t TransformRows() const { return transforms_.Rows(); }  // n
  int32_t HoldRows() const { return averages_.Rows(); }         // m
  double OlderChange() const { return change0_; }
  double NewerChange() const { return change1_; }
  // kSpectrumBins values each.
  std::span<const double> Averaged() const { return {averaged_.data(), kSpectrumBins}; }
  std::span<const double> Hold() const { return {hold_.data(), kSpectrumBins}; }

 private:
  void TakeTransform();
  double ChangeValue(const SpectrumInputs& in);

  C_FFT fft_;
  int32_t fill_ = 0;
  SpectrumHistory transforms_;  // S: n rows of |real part| per bin
  SpectrumHistory averages_;    // H: m rows of averaged spectra
  SlidingRows transformSum_;    // over all of S: the averaged spectrum
  SlidingRows newerHalfSum_;    // over the newer half of H: the reference spectrum
  SlidingRows averagesMax_;     // over all of H: the hold curve
  std::vector<double> infinitePeak_;
  std::vector<double> averaged_;  // A, for the view
  std::vector<double> hold_;      // hold curve, for the view
  std::vector<double> scratch_;   // sums of the reference spectrum
  double change0_ = 0.0;
  double change1_ = 0.0;
};

}  // namespace varn
