#include "analysis/block_conversion.h"

#include <cmath>

#include "analysis/level_math.h"
#include "audio/capture_channel.h"

namespace varn {

namespace {
constexpr float kMaxGain = 65536.0f;

// Rounded (halves to even) and saturated; the product of a 16-bit sample
// and a single-precision gain is exact in double.
inline int16_t Saturate(double v) {
  const double r = std::nearbyint(v);
  if (r > -32767.0 && r < 32767.0) return static_cast<int16_t>(r);
  if (std::isnan(r)) return 0;
  return r > 0 ? int16_t{32767} : int16_t{-32767};
}
}  // namespace

int32_t CurrentSegment(const SegmentTable& table, int64_t lastFrame) {
  if (lastFrame < table.first[0]) return 0;
  for (int k = 0; k < 6; ++k)
    if (lastFrame >= table.first[k] && lastFrame <= table.last[k]) return k;
  return 5;
}

std::optional<ChosenBlock> ChooseBlock(CaptureChannel& capture) {
  SegmentTable& table = capture.Segments;
  if (!capture.Headers || capture.BufferCount < 1 || capture.NextBuffer < 0 ||
      capture.NextBuffer >= capture.BufferCount || table.segmentLength < 1 ||
      capture.Format.blockAlign == 0)
    return std::nullopt;
  const WaveHeader& filling = capture.Headers[capture.NextBuffer];
  const double frames =
      static_cast<double>(filling.BytesRecorded()) / static_cast<double>(capture.Format.blockAlign);
  const auto lastFrame = static_cast<int64_t>(std::nearbyint(frames - 1.0));
  const int32_t k = CurrentSegment(table, lastFrame);
  std::optional<ChosenBlock> chosen;
  if (k != table.lastSegmentSeen && table.lastSegmentSeen != -1) {
    if (k == 0)
      chosen = ChosenBlock{capture.NextBuffer == 0 ? capture.BufferCount - 1 : capture.NextBuffer - 1, 5};
    else
      chosen = ChosenBlock{capture.NextBuffer, k - 1};
  }
  table.lastSegmentSeen = k;
  return chosen;
}

float AnalysisGain(float recLevelDb) {
  const float g = DbToLinear(recLevelDb);
  return (g < kMaxGain) ? g : kMaxGain;  // also catches an infinite gain
}

void ConvertBlock(const int16_t* samples, int captureChannels, int32_t count, float gain,
                  StereoMode mode, Frame* out) {
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
