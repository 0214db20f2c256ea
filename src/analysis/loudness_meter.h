#pragma once
// EBU R128 loudness of one line, measured by libebur128: momentary (400 ms),
// short-term (3 s), integrated and loudness range since the last reset; and
// the true peak, with libebur128's interpolator in a faster loop
// (true_peak.h). A mono line is measured as dual mono, so a mono programme
// reads the same as the stereo one with the same signal on both sides.
//
// A figure that does not exist yet is std::nullopt: momentary before 400 ms
// have been fed, short-term before 3 s (either over digital silence, and
// their maxima while they have had none), integrated while no 400 ms block
// has reached the absolute gate (-70 LUFS), loudness range while no 3 s
// block has, the true peak while every sample has been zero.
//
// libebur128 keeps some tables in globals that every ebur128_init rewrites,
// so creating a meter while another thread feeds one would be a data race:
// meters share a reader-writer lock, writers only while a state is created.
// Feeding takes that lock once per call, uncontended but for a creation.
// One meter is used by one thread at a time: the figures are read where it
// is fed, or under the caller's own lock.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "analysis/loudness_figures.h"
#include "analysis/true_peak.h"

namespace varn {

class LoudnessMeter {
 public:
  // What is measured; kLoudnessAll is everything. Integrated loudness and
  // range keep every gated block (about 1.3 MB per hour measured, nothing
  // for silence) unless kHistogram is added: constant memory for a meter
  // that runs for days between resets, at the price of 0.1 LU bins (a
  // steady tone reads up to 0.05 LU off; programme, spread over many bins,
  // far less).
  enum Mode : unsigned {
    kMomentary = 1,
    kShortTerm = 2,
    kIntegrated = 4,
    kRange = 8,
    kTruePeak = 16,
    kLoudnessAll = 31,
    kHistogram = 32,
  };

  // A meter that measures nothing (Valid() false); every figure is nullopt.
  LoudnessMeter() = default;
  // 1 or 2 channels at `sampleRate`; Valid() false for anything else.
  LoudnessMeter(int32_t sampleRate, int channels, unsigned modes = kLoudnessAll);
  ~LoudnessMeter();
  LoudnessMeter(LoudnessMeter&& other) noexcept;
  LoudnessMeter& operator=(LoudnessMeter&& other) noexcept;
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  bool Valid() const { return state_ != nullptr; }
  int Channels() const { return channels_; }
  int32_t SampleRate() const { return sampleRate_; }

  // `frames` frames of interleaved 16-bit samples, Channels() per frame,
  // full scale 32768.
  void Add(const int16_t* interleaved, size_t frames);
  // Forgets everything measured, as a new meter of the same kind.
  void Reset();

  // The loudness of the newest 400 ms and 3 s windows on the 100 ms grid
  // (see loudness_meter.cpp), in LUFS: at most 100 ms old.
  std::optional<double> Momentary() const;
  std::optional<double> ShortTerm() const;
  // Since the reset, gated as R128 asks: LUFS and LU.
  std::optional<double> Integrated() const;
  std::optional<double> Range() const;
  // dBTP, the larger of the two sides.
  std::optional<double> TruePeak() const;
  // The highest momentary and short-term loudness since the reset, taken
  // every 100 ms of audio (see loudness_meter.cpp).
  std::optional<double> MomentaryMax() const;
  std::optional<double> ShortTermMax() const;

  LoudnessFigures Figures() const;

 private:
  void Create();
  void Destroy();
  void AddPiece(const int16_t* interleaved, size_t frames);
  void CloseSubBlock();

  // libebur128's ebur128_state, an anonymous struct that cannot be declared
  // here; its header would bring global names (error, mode) with it.
  void* state_ = nullptr;
  int32_t sampleRate_ = 0;
  int channels_ = 0;
  unsigned modes_ = 0;
  TruePeakMeter truePeak_;

  // The 100 ms grid the maxima are taken on, the same as libebur128's own
  // gating blocks: sub-block energies (mean square, K-weighted, channels
  // summed), the newest 30 in a ring.
  static constexpr int kSubBlocks = 30;
  size_t framesPerSubBlock_ = 0;
  size_t framesInSubBlock_ = 0;
  int64_t subBlocksDone_ = 0;
  double subBlockEnergy_[kSubBlocks] = {};
  double momentaryEnergy_ = 0.0;  // the newest readings
  double shortTermEnergy_ = 0.0;
  double momentaryMaxEnergy_ = 0.0;
  double shortTermMaxEnergy_ = 0.0;
  bool rangeGated_ = false;  // a 3 s block of the range measurement reached the gate
};

}  // namespace varn
