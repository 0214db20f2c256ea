#pragma once
// The true peak of 16-bit audio as BS.1770 defines it: the largest magnitude
// of the signal oversampled to at least 192 kHz (4 times below 96 kHz,
// twice below 192 kHz, the samples themselves above).
//
// The interpolator is libebur128's own design (a 49-tap Hann-windowed sinc,
// split into one filter per phase: 12 taps at 4 times, 24 at twice; phase 0
// is the sample itself), so the figures are libebur128's;
// only the loop is ours. libebur128 runs the filter one output at a time
// through an index table, about 90 ns a stereo frame at 48 kHz, more than
// the whole loudness budget of eight live lines; here each phase runs on
// four outputs at once, with no allocation after construction.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varn {

class TruePeakMeter {
 public:
  TruePeakMeter() = default;
  // 1 or 2 channels; any other count measures nothing.
  TruePeakMeter(int32_t sampleRate, int channels);

  // `frames` frames of interleaved samples, full scale 32768.
  void Add(const int16_t* interleaved, size_t frames);
  void Reset();
  // The largest magnitude since the reset, over every channel, 1.0 at full
  // scale (a true peak can exceed it).
  double Peak() const { return peak_; }

 private:
  static constexpr int kMaxTaps = 24;  // per phase
  static constexpr int kHistory = kMaxTaps - 1;
  static constexpr size_t kChunk = 1024;  // frames converted at a time

  template <int Taps, int Phases>
  void AddChunk(float* x, size_t frames);
  bool ChunkCannotRaiseThePeak(const float* x, int largestSample) const;

  int channels_ = 0;
  int factor_ = 1;
  // Phases 1..factor-1, the newest sample's coefficient first.
  float coefficients_[3][kMaxTaps] = {};
  float gain_ = 1.0f;  // the largest sum of one phase's coefficient magnitudes
  std::vector<float> input_;  // per channel: kHistory samples, then a chunk
  double peak_ = 0.0;
};

}  // namespace varn
