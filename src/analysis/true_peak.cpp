#include "analysis/true_peak.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace varn {

namespace {

constexpr int kDesignTaps = 49;
constexpr float kSampleScale = 1.0f / 32768.0f;

// Four floats at a time; the compiler turns the arithmetic into SSE (or
// NEON) instructions without any per-target code here.
typedef float F4 __attribute__((vector_size(16)));

F4 Load(const float* p) {
  F4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
F4 Broadcast(float c) { return F4{c, c, c, c}; }
float Largest(F4 v) { return std::max(std::max(v[0], v[1]), std::max(v[2], v[3])); }
float Smallest(F4 v) { return std::min(std::min(v[0], v[1]), std::min(v[2], v[3])); }

}  // namespace

TruePeakMeter::TruePeakMeter(int32_t sampleRate, int channels) {
  if (channels != 1 && channels != 2) return;
  channels_ = channels;
  factor_ = sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
  // Coefficient j of the design goes to phase j % factor, as the input
  // sample j / factor back.
  for (int j = 0; j < kDesignTaps; ++j) {
    const double m = j - (kDesignTaps - 1) / 2.0;
    double c = 1.0;
    if (std::fabs(m) > 1e-6)
      c = std::sin(m * std::numbers::pi / factor_) / (m * std::numbers::pi / factor_);
    c *= 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * j / (kDesignTaps - 1)));
    const int phase = j % factor_;
    if (phase > 0 && j / factor_ < kMaxTaps)
      coefficients_[phase - 1][j / factor_] = static_cast<float>(c);
  }
  // No phase's output can exceed the largest input magnitude it reads times
  // the sum of its coefficients' magnitudes.
  gain_ = 1.0f;
  for (int p = 0; p + 1 < factor_; ++p) {
    float sum = 0.0f;
    for (float c : coefficients_[p]) sum += std::fabs(c);
    gain_ = std::max(gain_, sum);
  }
  input_.assign(static_cast<size_t>(channels) * (kHistory + kChunk), 0.0f);
}

void TruePeakMeter::Reset() {
  std::fill(input_.begin(), input_.end(), 0.0f);
  peak_ = 0.0;
}

void TruePeakMeter::Add(const int16_t* interleaved, size_t frames) {
  if (channels_ == 0 || input_.empty()) return;  // also a moved-from meter
  while (frames > 0) {
    const size_t n = std::min(frames, kChunk);
    for (int c = 0; c < channels_; ++c) {
      float* x = input_.data() + static_cast<size_t>(c) * (kHistory + kChunk);
      int largest = 0;
      for (size_t i = 0; i < n; ++i) {
        const int v = interleaved[i * channels_ + c];
        largest = std::max(largest, std::abs(v));
        x[kHistory + i] = static_cast<float>(v) * kSampleScale;
      }
      if (ChunkCannotRaiseThePeak(x, largest)) {
        std::memmove(x, x + n, kHistory * sizeof(float));
        continue;
      }
      switch (factor_) {
        case 4:
          AddChunk<12, 3>(x, n);
          break;
        case 2:
          AddChunk<24, 1>(x, n);
          break;
        default:
          AddChunk<0, 0>(x, n);
          break;
      }
      // The newest samples are the next chunk's history.
      std::memmove(x, x + n, kHistory * sizeof(float));
    }
    interleaved += n * channels_;
    frames -= n;
  }
}

// Most of a programme's audio stays well below the loudest peak so far, and
// the filter is by far the meter's largest cost: a chunk whose inputs (the
// history included) times the filter's gain cannot reach the peak is left
// out. The margin covers the float sums' rounding, so the peak is exactly
// the one the filter would give.
bool TruePeakMeter::ChunkCannotRaiseThePeak(const float* x, int largestSample) const {
  float largest = static_cast<float>(largestSample) * kSampleScale;
  for (int i = 0; i < kHistory; ++i) largest = std::max(largest, std::fabs(x[i]));
  return static_cast<double>(largest) * gain_ * 1.0001 < peak_;
}

// x[kHistory + i] is the chunk's sample i, with the samples before it below.
// Phase 0 of every output is a sample itself, so the samples count as they
// are; each other phase is a FIR over the newest Taps samples.
template <int Taps, int Phases>
void TruePeakMeter::AddChunk(float* x, size_t frames) {
  const float* in = x + kHistory;
  F4 high = Broadcast(0.0f);
  F4 low = Broadcast(0.0f);
  size_t i = 0;
  for (; i + 4 <= frames; i += 4) {
    const F4 v = Load(in + i);
    high = v > high ? v : high;
    low = v < low ? v : low;
    // Up to three phases, each in a register of its own.
    F4 a0 = {}, a1 = {}, a2 = {};
#pragma GCC unroll 24
    for (int t = 0; t < Taps; ++t) {
      const F4 s = Load(in + i - t);
      a0 += Broadcast(coefficients_[0][t]) * s;
      if constexpr (Phases > 1) a1 += Broadcast(coefficients_[1][t]) * s;
      if constexpr (Phases > 2) a2 += Broadcast(coefficients_[2][t]) * s;
    }
    if constexpr (Phases > 0) {
      high = a0 > high ? a0 : high;
      low = a0 < low ? a0 : low;
    }
    if constexpr (Phases > 1) {
      high = a1 > high ? a1 : high;
      low = a1 < low ? a1 : low;
    }
    if constexpr (Phases > 2) {
      high = a2 > high ? a2 : high;
      low = a2 < low ? a2 : low;
    }
  }
  float top = Largest(high);
  float bottom = Smallest(low);
  for (; i < frames; ++i) {
    top = std::max(top, in[i]);
    bottom = std::min(bottom, in[i]);
    for (int p = 0; p < Phases; ++p) {
      float acc = 0.0f;
      for (int t = 0; t < Taps; ++t) acc += coefficients_[p][t] * in[i - t];
      top = std::max(top, acc);
      bottom = std::min(bottom, acc);
    }
  }
  peak_ = std::max(peak_, static_cast<double>(std::max(top, -bottom)));
}

}  // namespace varn
