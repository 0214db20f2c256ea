#include "analysis/block_conversion.h"

#include <algorithm>
#include <cmath>

#include "analysis/level_math.h"

namespace varn {

namespace {
constexpr float kMaxGain = 65536.0f;

// Adding and taking away 1.5 * 2^52 rounds any |v| < 2^51 to an integer in
// the default rounding mode, nearest with halves to even, without a library
// call per sample. The product of a 16-bit sample and a single-precision gain
// (at most 65536) is exact in double and far inside that range.
constexpr double kRoundingBias = 6755399441055744.0;

inline int16_t Saturate(double v) {
  // Without fast-math the compiler keeps both steps: they are not an identity.
  const double r = (v + kRoundingBias) - kRoundingBias;
  return static_cast<int16_t>(std::max(-32767.0, std::min(32767.0, r)));
}

// At 0 dB (the usual setting) the product is the sample itself: only -32768
// needs saturating, and the mix's halves round to even in integers.
inline int16_t Unity(int32_t x) { return static_cast<int16_t>(x < -32767 ? -32767 : x); }
inline int16_t UnityMix(int32_t sum) {
  const int32_t floorHalf = sum >> 1;  // arithmetic shift: rounds down
  return Unity(floorHalf +
               (sum & floorHalf & 1));  // an odd sum is a half: go to the even neighbour
}
}  // namespace

namespace {
void ConvertUnity(const int16_t* samples, int captureChannels, int32_t count, StereoMode mode,
                  Frame* out) {
  if (captureChannels < 2) {
    for (int32_t i = 0; i < count; ++i) out[i] = Frame{Unity(samples[i]), 0};
    return;
  }
  const int stride = captureChannels;
  switch (mode) {
    case StereoMode::Stereo:
      for (int32_t i = 0; i < count; ++i)
        out[i] = Frame{Unity(samples[i * stride]), Unity(samples[i * stride + 1])};
      break;
    case StereoMode::MonoMix:
      for (int32_t i = 0; i < count; ++i) {
        const int16_t v = UnityMix(samples[i * stride] + samples[i * stride + 1]);
        out[i] = Frame{v, v};
      }
      break;
    case StereoMode::MonoLeft:
      for (int32_t i = 0; i < count; ++i) out[i] = Frame{Unity(samples[i * stride]), 0};
      break;
    case StereoMode::MonoRight:
      for (int32_t i = 0; i < count; ++i) out[i] = Frame{0, Unity(samples[i * stride + 1])};
      break;
  }
}
}  // namespace

float AnalysisGain(float recLevelDb) {
  const float g = DbToLinear(recLevelDb);
  return (g < kMaxGain) ? g : kMaxGain;  // also catches an infinite gain
}

void ConvertBlock(const int16_t* samples, int captureChannels, int32_t count, float gain,
                  StereoMode mode, Frame* out) {
  if (gain == 1.0f) {
    ConvertUnity(samples, captureChannels, count, mode, out);
    return;
  }
  const double g = gain;
  if (captureChannels < 2) {
    for (int32_t i = 0; i < count; ++i) out[i] = Frame{Saturate(samples[i] * g), 0};
    return;
  }
  const int stride = captureChannels;
  switch (mode) {
    case StereoMode::Stereo:
      for (int32_t i = 0; i < count; ++i)
        out[i] = Frame{Saturate(samples[i * stride] * g), Saturate(samples[i * stride + 1] * g)};
      break;
    case StereoMode::MonoMix:
      for (int32_t i = 0; i < count; ++i) {
        const double sum = static_cast<double>(samples[i * stride]) + samples[i * stride + 1];
        const int16_t v = Saturate(sum * g / 2.0);
        out[i] = Frame{v, v};
      }
      break;
    case StereoMode::MonoLeft:
      for (int32_t i = 0; i < count; ++i) out[i] = Frame{Saturate(samples[i * stride] * g), 0};
      break;
    case StereoMode::MonoRight:
      for (int32_t i = 0; i < count; ++i) out[i] = Frame{0, Saturate(samples[i * stride + 1] * g)};
      break;
  }
}

}  // namespace varn
