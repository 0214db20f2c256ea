#pragma once
// A PCM wave format record, laid out as the wave-in and wave-out services
// take it.

#include <cstdint>

namespace varn {

struct WaveFormat {
  uint16_t formatTag = 1;  // 1 = PCM
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};

// 16-bit PCM of the given rate and channel count.
inline WaveFormat Pcm16Format(uint32_t rate, uint16_t channels) {
  WaveFormat f;
  f.channels = channels;
  f.samplesPerSec = rate;
  f.bitsPerSample = 16;
  f.blockAlign = static_cast<uint16_t>(2 * channels);
  f.avgBytesPerSec = rate * f.blockAlign;
  return f;
}

}  // namespace varn
