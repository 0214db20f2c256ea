#pragma once
// MPEG audio frame headers: the bit-rate and sample-rate tables of MPEG-1
// (ISO/IEC 11172-3), MPEG-2 (ISO/IEC 13818-3) and MPEG-2.5, and the decoding
// of the four header bytes. The codec stream uses the tables to refuse what
// MPEG audio cannot carry; the file information reads headers with them.

#include <cstdint>
#include <optional>
#include <span>

namespace varn {

enum class MpegVersion { Mpeg1, Mpeg2, Mpeg25 };

// The version that carries a sample rate, or nullopt for a rate MPEG audio
// does not define (8000..48000 in nine steps).
std::optional<MpegVersion> VersionForRate(int32_t rate);

// The bit rates (kbit/s) of a version and layer (1..3), lowest first,
// without the free format.
std::span<const int32_t> BitRateTable(MpegVersion version, int layer);

// True when `kbps` is a layer III bit rate of the version that carries `rate`.
bool IsLayer3BitRate(int32_t rate, int32_t kbps);

struct MpegFrameHeader {
  MpegVersion version = MpegVersion::Mpeg1;
  int layer = 0;            // 1, 2 or 3
  bool protection = false;  // a CRC follows the header
  int32_t kbps = 0;
  int32_t rate = 0;
  bool padding = false;
  int channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int32_t samplesPerFrame = 0;
  int32_t frameBytes = 0;  // the whole frame, header included
  // Offset from the header's first byte to where a "Xing" tag sits: header,
  // CRC and side information.
  int32_t xingOffset = 0;
};

// True for the first two bytes of a frame header: 11 sync bits and a
// version other than the reserved one.
inline bool IsFrameSync(uint8_t b0, uint8_t b1) {
  return b0 == 0xFF && (b1 & 0xE0) == 0xE0 && (b1 & 0x18) != 0x08;
}

// Decodes four header bytes; nullopt for a reserved layer, the free format,
// a bad bit-rate index or a reserved sample rate.
std::optional<MpegFrameHeader> DecodeFrameHeader(const uint8_t* bytes);

}  // namespace varn
