#include "archive/capture_sizing.h"

#include "util/numeric.h"

namespace varn {

CaptureSizing ComputeCaptureSizing(int32_t rate, int32_t bitRate, int32_t bufferSec) {
  CaptureSizing s;
  if (bitRate < 1) {
    const int32_t frames = RoundToInt32(rate * 0.288);
    s.samplesPerBuffer = 4 * (frames / 4);
  } else {
    s.samplesPerBuffer = kMp3SamplesPerBuffer;
  }
  if (s.samplesPerBuffer > 0)
    s.bufferCount = RoundToInt32(static_cast<double>(rate) / s.samplesPerBuffer * bufferSec);
  return s;
}

}  // namespace varn
