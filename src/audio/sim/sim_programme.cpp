// "Sim Programme": material that makes every detector show on a demo. One
// 30-second cycle:
//    0 -  8 s  warm music (harmonics of 220 Hz), a click at 4.0 s
//    8 -  9 s  digital silence (low level)
//    9 - 17 s  bright music (high partials and hiss): a change of timbre,
//              with a burst to full scale from 13.0 to 13.4 s (over-level)
//   17 - 18 s  digital silence
//   18 - 26 s  speech-like bursts of noise, a click at 24.5 s
//   26 - 30 s  warm music again
// The right channel is the left one 1 dB lower, so the two sides differ.

#include <cmath>
#include <numbers>

#include "audio/sim/sim_signal.h"

namespace varn {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kCycleSec = 30.0;

class ProgrammeSignal final : public SimSignal {
 public:
  ProgrammeSignal(int rate, int channels) : rate_(rate), channels_(channels), noise_(0xC0FFEEull) {}

  void Render(int16_t* out, size_t frames) override {
    for (size_t i = 0; i < frames; ++i) {
      const double left = Next();
      *out++ = ToSample(left);
      if (channels_ > 1) *out++ = ToSample(left * 0.891);
      for (int c = 2; c < channels_; ++c) *out++ = 0;
    }
  }

 private:
  double Next() {
    const uint64_t cycleFrames = static_cast<uint64_t>(kCycleSec * rate_);
    const uint64_t n = frame_++ % cycleFrames;
    const double t = static_cast<double>(n) / rate_;
    const double since = static_cast<double>(frame_) / rate_;  // for continuous phases
    const double white = noise_.Next();
    lowNoise_ += 0.05 * (white - lowNoise_);

    if (IsClick(n, 4.0) || IsClick(n, 24.5)) return 20000.0;
    if ((t >= 8.0 && t < 9.0) || (t >= 17.0 && t < 18.0)) return 0.0;
    if (t >= 13.0 && t < 13.4) return 1.25 * 32767.0 * std::sin(kTwoPi * 1000.0 * since);
    if (t >= 9.0 && t < 17.0) return Bright(since, white);
    if (t >= 18.0 && t < 26.0) return Speech(t);
    return Warm(since);
  }

  bool IsClick(uint64_t n, double atSec) const { return n == static_cast<uint64_t>(atSec * rate_); }

  static double Warm(double t) {
    const double envelope = 0.6 + 0.4 * std::sin(kTwoPi * 0.25 * t);
    const double f = 220.0;
    const double s = std::sin(kTwoPi * f * t) + 0.5 * std::sin(kTwoPi * 2 * f * t) +
                     0.25 * std::sin(kTwoPi * 3 * f * t) + 0.12 * std::sin(kTwoPi * 4 * f * t);
    return 4000.0 * envelope * s;
  }

  double Bright(double t, double white) {
    const double hiss = white - lastWhite_;  // first difference: mostly highs
    lastWhite_ = white;
    const double s = std::sin(kTwoPi * 2637.0 * t) + 0.7 * std::sin(kTwoPi * 3520.0 * t) +
                     0.5 * std::sin(kTwoPi * 5274.0 * t);
    return 2500.0 * s + 1500.0 * hiss;
  }

  double Speech(double t) const {
    // Syllables at 3.5 Hz, a breath every 2 s.
    const double syllable = std::sin(kTwoPi * 3.5 * t);
    const bool breath = std::fmod(t, 2.0) > 1.7;
    const double envelope = breath || syllable < 0 ? 0.0 : syllable * syllable;
    return 30000.0 * envelope * lowNoise_;
  }

  int rate_;
  int channels_;
  NoiseSource noise_;
  uint64_t frame_ = 0;
  double lowNoise_ = 0.0;
  double lastWhite_ = 0.0;
};

}  // namespace

std::unique_ptr<SimSignal> MakeProgrammeSignal(int rate, int channels) {
  return std::make_unique<ProgrammeSignal>(rate, channels);
}

}  // namespace varn
