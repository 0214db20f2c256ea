#pragma once
// The wave format records a codec stream is opened with: plain PCM, and
// MPEG layer III with its extra fields, laid out as the compression manager
// of the original platform took them.

#include <cstdint>

namespace varn {

inline constexpr uint16_t kFormatTagPcm = 1;
inline constexpr uint16_t kFormatTagMpegLayer3 = 85;

struct CodecFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;
  // MPEG layer III only (extraSize 12).
  uint16_t id = 0;  // 1 = MPEG
  uint32_t flags = 0;
  uint16_t blockSize = 0;
  uint16_t framesPerBlock = 0;
  uint16_t codecDelay = 0;
};

// The MP3 side: average bytes round(kbps / 8 * 1000), block size
// round(kbps * 144000 / rate + p) with p = 1 when the rate is not a multiple
// of 1000, one frame per block, codec delay 700.
CodecFormat MakeMp3Format(int32_t kbps, int32_t channels, int32_t rate, uint32_t flags);

// The PCM side: average bytes rate * block align, extra size 18.
CodecFormat MakePcmFormat(int32_t rate, int32_t bits, int32_t channels, int32_t blockAlign);

}  // namespace varn
