#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "audio/sim/sim_signal.h"
#include "util/numeric.h"

namespace varn {

int16_t ToSample(double v) {
  const double r = RoundHalfEven(v);
  if (!(r > -32768.0)) return -32768;  // NaN too
  if (r > 32767.0) return 32767;
  return static_cast<int16_t>(r);
}

namespace {

// 1 kHz at -20 dBFS: the usual line-up tone.
class ToneSignal final : public SimSignal {
 public:
  ToneSignal(int rate, int channels)
      : channels_(channels), step_(2.0 * std::numbers::pi * 1000.0 / rate) {}
  void Render(int16_t* out, size_t frames) override {
    for (size_t i = 0; i < frames; ++i) {
      const int16_t s = ToSample(kAmplitude * std::sin(phase_));
      for (int c = 0; c < channels_; ++c) *out++ = s;
      phase_ += step_;
      if (phase_ >= 2.0 * std::numbers::pi) phase_ -= 2.0 * std::numbers::pi;
    }
  }

 private:
  static constexpr double kAmplitude = 3276.7;  // 32767 * 10^(-20/20)
  int channels_;
  double step_;
  double phase_ = 0.0;
};

// Pink noise (Paul Kellet's filter over white noise), independent per
// channel, about -20 dBFS RMS.
class PinkNoiseSignal final : public SimSignal {
 public:
  explicit PinkNoiseSignal(int channels) : channels_(channels) {
    for (int c = 0; c < channels; ++c) sides_.push_back(Side{NoiseSource(0x5EED0000ull + c), {}});
  }
  void Render(int16_t* out, size_t frames) override {
    for (size_t i = 0; i < frames; ++i)
      for (auto& side : sides_) *out++ = ToSample(side.Next() * 3276.7 * 5.3);
  }

 private:
  struct Side {
    NoiseSource noise;
    std::array<double, 7> b;
    double Next() {
      const double w = noise.Next();
      b[0] = 0.99886 * b[0] + w * 0.0555179;
      b[1] = 0.99332 * b[1] + w * 0.0750759;
      b[2] = 0.96900 * b[2] + w * 0.1538520;
      b[3] = 0.86650 * b[3] + w * 0.3104856;
      b[4] = 0.55000 * b[4] + w * 0.5329522;
      b[5] = -0.7616 * b[5] - w * 0.0168980;
      const double pink = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362;
      b[6] = w * 0.115926;
      return pink * 0.11;
    }
  };
  int channels_;
  std::vector<Side> sides_;
};

class SilenceSignal final : public SimSignal {
 public:
  explicit SilenceSignal(int channels) : channels_(channels) {}
  void Render(int16_t* out, size_t frames) override {
    std::fill(out, out + frames * static_cast<size_t>(channels_), int16_t{0});
  }

 private:
  int channels_;
};

// A 16-bit counter, one step per frame, the same on every channel: any lost,
// doubled or reordered frame shows as a break in the count.
class RampSignal final : public SimSignal {
 public:
  explicit RampSignal(int channels) : channels_(channels) {}
  void Render(int16_t* out, size_t frames) override {
    for (size_t i = 0; i < frames; ++i) {
      const auto s = static_cast<int16_t>(counter_++);
      for (int c = 0; c < channels_; ++c) *out++ = s;
    }
  }

 private:
  int channels_;
  uint16_t counter_ = 0;
};

}  // namespace

std::string SimSignalName(SimSignalKind kind) {
  switch (kind) {
    case SimSignalKind::Tone:
      return "Sim Tone 1kHz";
    case SimSignalKind::PinkNoise:
      return "Sim Pink Noise";
    case SimSignalKind::Programme:
      return "Sim Programme";
    case SimSignalKind::Silence:
      return "Sim Silence";
    case SimSignalKind::Ramp:
      return "Sim Ramp";
  }
  return "";
}

std::unique_ptr<SimSignal> MakeSimSignal(SimSignalKind kind, int rate, int channels) {
  switch (kind) {
    case SimSignalKind::Tone:
      return std::make_unique<ToneSignal>(rate, channels);
    case SimSignalKind::PinkNoise:
      return std::make_unique<PinkNoiseSignal>(channels);
    case SimSignalKind::Programme:
      return MakeProgrammeSignal(rate, channels);
    case SimSignalKind::Silence:
      return std::make_unique<SilenceSignal>(channels);
    case SimSignalKind::Ramp:
      return std::make_unique<RampSignal>(channels);
  }
  return std::make_unique<SilenceSignal>(channels);
}

}  // namespace varn
