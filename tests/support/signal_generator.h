#pragma once
// Synthesized test signals: 16-bit samples of one side (mono), combined into
// interleaved stereo with Interleave, and written as WAV files. Everything is
// deterministic: noise comes from a seeded generator.

#include <cstdint>
#include <string>
#include <vector>

namespace varn::test {

using Samples = std::vector<int16_t>;

// round(amplitude * sin(2 pi f n / rate + phase)), amplitude in sample units.
Samples Sine(int rate, double frequency, double amplitude, int64_t frames, double phase = 0.0);
// amplitude * cos(2 pi cycles n / period): exactly `cycles` cycles per period.
Samples Cosine(int64_t period, int cycles, double amplitude, int64_t frames);
Samples Silence(int64_t frames);
Samples Constant(int16_t value, int64_t frames);
// Uniform noise in [-amplitude, amplitude], the same for the same seed.
Samples Noise(uint32_t seed, int amplitude, int64_t frames);
// `before` for the first `at` frames, `after` from there on.
Samples Step(int16_t before, int16_t after, int64_t at, int64_t frames);

// Sets one sample to `value` (a single-sample click on a quiet signal).
void SetSample(Samples& s, int64_t at, int16_t value);
// Adds `height` to one sample, saturating to the 16-bit range.
void AddClick(Samples& s, int64_t at, int height);
// The signal with `gainDb` applied, rounded and saturated to +-32767.
Samples Scaled(const Samples& s, double gainDb);
// a followed by b.
Samples Concat(const Samples& a, const Samples& b);
// Left then right per frame; the shorter side is padded with silence.
Samples Interleave(const Samples& left, const Samples& right);

// The bytes of a PCM WAV file of `bits` (8, 16 or 24) per sample, the
// samples given as the integers stored (8-bit ones unsigned).
std::vector<uint8_t> WavBytes(int rate, int bits, int channels,
                              const std::vector<int32_t>& samples);

// A 16-bit PCM WAV file of interleaved samples.
void WriteWav(const std::string& path, int rate, int channels, const Samples& interleaved);

}  // namespace varn::test
