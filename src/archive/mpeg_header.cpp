#include "archive/mpeg_header.h"

#include <array>

namespace varn {

namespace {

// Index 1..14 of the bit-rate field; index 0 (free format) and 15 are not used.
constexpr std::array<int32_t, 14> kV1L1 = {32,  64,  96,  128, 160, 192, 224,
                                           256, 288, 320, 352, 384, 416, 448};
constexpr std::array<int32_t, 14> kV1L2 = {32,  48,  56,  64,  80,  96,  112,
                                           128, 160, 192, 224, 256, 320, 384};
constexpr std::array<int32_t, 14> kV1L3 = {32,  40,  48,  56,  64,  80,  96,
                                           112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int32_t, 14> kV2L1 = {32,  48,  56,  64,  80,  96,  112,
                                           128, 144, 160, 176, 192, 224, 256};
constexpr std::array<int32_t, 14> kV2L23 = {8,  16, 24, 32,  40,  48,  56,
                                            64, 80, 96, 112, 128, 144, 160};

constexpr std::array<int32_t, 3> kRatesV1 = {44100, 48000, 32000};

}  // namespace

std::optional<MpegVersion> VersionForRate(int32_t rate) {
  for (int32_t r : kRatesV1) {
    if (rate == r) return MpegVersion::Mpeg1;
    if (rate == r / 2) return MpegVersion::Mpeg2;
    if (rate == r / 4) return MpegVersion::Mpeg25;
  }
  return std::nullopt;
}

std::span<const int32_t> BitRateTable(MpegVersion version, int layer) {
  if (version == MpegVersion::Mpeg1) {
    if (layer == 1) return kV1L1;
    if (layer == 2) return kV1L2;
    if (layer == 3) return kV1L3;
    return {};
  }
  if (layer == 1) return kV2L1;
  if (layer == 2 || layer == 3) return kV2L23;
  return {};
}

bool IsLayer3BitRate(int32_t rate, int32_t kbps) {
  const auto version = VersionForRate(rate);
  if (!version) return false;
  for (int32_t k : BitRateTable(*version, 3))
    if (k == kbps) return true;
  return false;
}

std::optional<MpegFrameHeader> DecodeFrameHeader(const uint8_t* b) {
  if (!IsFrameSync(b[0], b[1])) return std::nullopt;
  MpegFrameHeader h;
  const int versionBits = (b[1] >> 3) & 3;
  h.version = versionBits == 3   ? MpegVersion::Mpeg1
              : versionBits == 2 ? MpegVersion::Mpeg2
                                 : MpegVersion::Mpeg25;
  const int layerBits = (b[1] >> 1) & 3;
  if (layerBits == 0) return std::nullopt;
  h.layer = 4 - layerBits;
  h.protection = (b[1] & 1) == 0;
  const int rateIndex = b[2] >> 4;
  if (rateIndex == 0 || rateIndex == 15) return std::nullopt;
  h.kbps = BitRateTable(h.version, h.layer)[static_cast<size_t>(rateIndex - 1)];
  const int freqIndex = (b[2] >> 2) & 3;
  if (freqIndex == 3) return std::nullopt;
  h.rate = kRatesV1[static_cast<size_t>(freqIndex)];
  if (h.version == MpegVersion::Mpeg2) h.rate /= 2;
  if (h.version == MpegVersion::Mpeg25) h.rate /= 4;
  h.padding = (b[2] & 2) != 0;
  h.channelMode = b[3] >> 6;
  const bool v1 = h.version == MpegVersion::Mpeg1;
  const bool mono = h.channelMode == 3;
  if (h.layer == 1) {
    h.samplesPerFrame = 384;
    h.frameBytes = (12 * h.kbps * 1000 / h.rate + (h.padding ? 1 : 0)) * 4;
  } else {
    h.samplesPerFrame = (h.layer == 3 && !v1) ? 576 : 1152;
    const int32_t slots = h.samplesPerFrame / 8;  // 144 or 72 bytes per kbit/s per Hz
    h.frameBytes = slots * h.kbps * 1000 / h.rate + (h.padding ? 1 : 0);
  }
  const int32_t sideInfo = v1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  h.xingOffset = 4 + (h.protection ? 2 : 0) + (h.layer == 3 ? sideInfo : 0);
  return h;
}

}  // namespace varn
