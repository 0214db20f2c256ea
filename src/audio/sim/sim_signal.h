#pragma once
// The signals of the virtual input devices. Each open device renders its own
// copy, frame after frame, in the format it was opened with.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace varn {

class SimSignal {
 public:
  virtual ~SimSignal() = default;
  // Writes the next `frames` frames, interleaved 16-bit, `channels` samples each.
  virtual void Render(int16_t* out, size_t frames) = 0;
};

enum class SimSignalKind { Tone, PinkNoise, Programme, Silence, Ramp };

// The built-in signals, in device order, and their device names.
inline constexpr SimSignalKind kSimSignalKinds[] = {SimSignalKind::Tone, SimSignalKind::PinkNoise,
                                                    SimSignalKind::Programme,
                                                    SimSignalKind::Silence, SimSignalKind::Ramp};
std::string SimSignalName(SimSignalKind kind);

std::unique_ptr<SimSignal> MakeSimSignal(SimSignalKind kind, int rate, int channels);

// Programme-like material: music, speech and pauses with an occasional
// click, a burst to full scale and a change of timbre, in a 30 s loop.
std::unique_ptr<SimSignal> MakeProgrammeSignal(int rate, int channels);

class PcmFileReader;
// A file played in a loop, converted to `rate` and `channels` (linear
// interpolation between frames; two channels mixed for mono, mono doubled
// for stereo). A file that cannot be read any more plays silence.
std::unique_ptr<SimSignal> MakeFileSignal(std::unique_ptr<PcmFileReader> reader, int rate,
                                          int channels);

// A small, fast, deterministic noise source (xorshift).
class NoiseSource {
 public:
  explicit NoiseSource(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  // Uniform in [-1, 1).
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<double>(state_ >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

 private:
  uint64_t state_;
};

// 16-bit sample of a real value, rounded halves to even and saturated.
int16_t ToSample(double v);

}  // namespace varn
