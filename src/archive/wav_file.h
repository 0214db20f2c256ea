#pragma once
// RIFF/WAVE files: the archive's header (written with a data size of 0, then
// patched from the file length after every append) and the description of
// an existing file. All fields are little-endian.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/file_access.h"

namespace varn {

struct WavInfo {
  int32_t Valid = 0;
  int32_t FrameCount = 0;
  int32_t SampleRate = 0;
  int16_t BitsPerSample = 0;
  int16_t Channels = 0;
  int32_t BlockAlign = 0;
  int32_t DataOffset = 0;  // 0-based offset of the first sample
  int64_t DataSize = 0;    // data chunk size as stored
  int64_t FileSize = 0;
  int32_t FormatCode = 0;
  int32_t DurationMs = 0;
  int32_t FormatTag = 0;
};

inline constexpr int kWavHeaderBytes = 44;
inline constexpr int kWavExtensibleHeaderBytes = 68;

// The header bytes: plain PCM (44 bytes), or the extensible layout (68
// bytes) for 6 or 8 channels.
std::vector<uint8_t> BuildWavHeader(int rate, int bits, int channels, uint32_t dataSize);

// Replaces `path` with a fresh header. With keepOpen the open file is handed
// back positioned after the header. False when the old file could not be
// removed or the header could not be written.
bool WriteWavHeader(int rate, int bits, int channels, const std::string& path, uint32_t dataSize,
                    OpenFile* keepOpen = nullptr);

// Rewrites the RIFF size and (unless riffOnly) the data size from the file's
// length. Never changes the length. `handle` may be an open file to use.
bool UpdateWavSizes(const std::string& path, int64_t trailingBytes = 0, bool riffOnly = false,
                    OpenFile* handle = nullptr);

// The 1-based position of the first top-level chunk with that id, or -1.
int64_t FindChunk(const std::string& path, std::string_view chunkId);

WavInfo ReadWavInfo(const std::string& path);

}  // namespace varn
