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
// History lengths in rows: at least 4, and at most this many, so a
// hand-edited time cannot make a channel allocate or scan without bound.
inline constexpr int32_t kMaxSpectrumRows = 1024;

// n = round(rate * FFTAvrSec_ / segment length), m = the same with
// PeakHoldSec_; each at least 4.
int32_t SpectrumHistoryRows(int32_t sampleRate, int32_t segmentLength, float seconds);

// Rows of kSpectrumBins values in a ring, oldest first. Advancing drops the
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
  std::span<const double> Averaged() const { return averaged_; }
  std::span<const double> Hold() const { return hold_; }

 private:
  void TakeTransform();
  double ChangeValue(const SpectrumInputs& in);

  C_FFT fft_;
  int32_t fill_ = 0;
  SpectrumHistory transforms_;  // S: n rows of |real part| per bin
  SpectrumHistory averages_;    // H: m rows of averaged spectra
  std::vector<double> infinitePeak_;
  std::vector<double> averaged_;  // A, for the view
  std::vector<double> hold_;      // hold curve, for the view
  std::vector<double> scratch_;   // sums of the reference spectrum
  double change0_ = 0.0;
  double change1_ = 0.0;
};

}  // namespace varn
