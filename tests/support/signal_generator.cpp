#include "support/signal_generator.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>

#include "archive/wav_file.h"

namespace varn::test {

namespace {
int16_t Clip(double v) {
  const double r = std::nearbyint(v);
  return static_cast<int16_t>(std::clamp(r, -32767.0, 32767.0));
}
}  // namespace

Samples Sine(int rate, double frequency, double amplitude, int64_t frames, double phase) {
  Samples s(frames);
  for (int64_t n = 0; n < frames; ++n)
    s[n] = Clip(amplitude * std::sin(2.0 * std::numbers::pi * frequency * n / rate + phase));
  return s;
}

Samples Cosine(int64_t period, int cycles, double amplitude, int64_t frames) {
  Samples s(frames);
  for (int64_t n = 0; n < frames; ++n)
    s[n] = Clip(amplitude * std::cos(2.0 * std::numbers::pi * cycles * (n % period) / period));
  return s;
}

Samples Silence(int64_t frames) { return Samples(frames, 0); }

Samples Constant(int16_t value, int64_t frames) { return Samples(frames, value); }

Samples Noise(uint32_t seed, int amplitude, int64_t frames) {
  std::mt19937 gen(seed);
  Samples s(frames);
  // Our own mapping of the raw draws: distributions differ between
  // standard libraries, the engine's output does not.
  const uint64_t span = 2 * static_cast<uint64_t>(amplitude) + 1;
  for (int64_t n = 0; n < frames; ++n)
    s[n] = static_cast<int16_t>(static_cast<int64_t>(gen() % span) - amplitude);
  return s;
}

Samples Step(int16_t before, int16_t after, int64_t at, int64_t frames) {
  Samples s(frames, before);
  for (int64_t n = std::max<int64_t>(at, 0); n < frames; ++n) s[n] = after;
  return s;
}

void SetSample(Samples& s, int64_t at, int16_t value) { s.at(at) = value; }

void AddClick(Samples& s, int64_t at, int height) { s.at(at) = Clip(s.at(at) + height); }

Samples Scaled(const Samples& s, double gainDb) {
  const double g = std::pow(10.0, gainDb / 20.0);
  Samples out(s.size());
  for (size_t i = 0; i < s.size(); ++i) out[i] = Clip(s[i] * g);
  return out;
}

Samples Concat(const Samples& a, const Samples& b) {
  Samples out(a);
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

Samples Interleave(const Samples& left, const Samples& right) {
  const size_t frames = std::max(left.size(), right.size());
  Samples out(2 * frames, 0);
  for (size_t i = 0; i < left.size(); ++i) out[2 * i] = left[i];
  for (size_t i = 0; i < right.size(); ++i) out[2 * i + 1] = right[i];
  return out;
}

std::vector<uint8_t> WavBytes(int rate, int bits, int channels,
                              const std::vector<int32_t>& samples) {
  const int bytesPerSample = bits / 8;
  std::vector<uint8_t> data;
  for (const int32_t s : samples)
    for (int b = 0; b < bytesPerSample; ++b) data.push_back(static_cast<uint8_t>(s >> (8 * b)));
  std::vector<uint8_t> file =
      BuildWavHeader(rate, bits, channels, static_cast<uint32_t>(data.size()));
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

void WriteWav(const std::string& path, int rate, int channels, const Samples& interleaved) {
  const auto dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
  std::vector<uint8_t> bytes = BuildWavHeader(rate, 16, channels, dataBytes);
  bytes.reserve(bytes.size() + dataBytes);
  for (int16_t v : interleaved) {
    const auto u = static_cast<uint16_t>(v);
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace varn::test
