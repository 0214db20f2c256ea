#include "archive/codec_format.h"

#include <algorithm>

#include "util/numeric.h"

namespace varn {

namespace {
uint16_t To16(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 0xFFFF)); }
uint32_t To32(int64_t v) { return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 0xFFFFFFFFLL)); }
}  // namespace

CodecFormat MakeMp3Format(int32_t kbps, int32_t channels, int32_t rate, uint32_t flags) {
  CodecFormat f;
  f.formatTag = kFormatTagMpegLayer3;
  f.channels = To16(channels);
  f.samplesPerSec = To32(rate);
  f.avgBytesPerSec = To32(RoundToInt32(kbps / 8.0 * 1000.0));
  f.blockAlign = 1;
  f.bitsPerSample = 0;
  f.extraSize = 12;
  f.id = 1;
  f.flags = flags;
  if (rate > 0) {
    const double p = rate % 1000 != 0 ? 1.0 : 0.0;
    f.blockSize = To16(RoundToInt32(kbps * 144000.0 / rate + p));
  }
  f.framesPerBlock = 1;
  f.codecDelay = 700;
  return f;
}

CodecFormat MakePcmFormat(int32_t rate, int32_t bits, int32_t channels, int32_t blockAlign) {
  CodecFormat f;
  f.formatTag = kFormatTagPcm;
  f.channels = To16(channels);
  f.samplesPerSec = To32(rate);
  f.blockAlign = To16(blockAlign);
  f.avgBytesPerSec = To32(static_cast<int64_t>(rate) * blockAlign);
  f.bitsPerSample = To16(bits);
  f.extraSize = 18;
  return f;
}

}  // namespace varn
