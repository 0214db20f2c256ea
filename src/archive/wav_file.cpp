#include "archive/wav_file.h"

#include <fcntl.h>

#include <cstring>

#include "archive/format_codes.h"
#include "util/error_catch.h"
#include "util/numeric.h"

namespace varn {

namespace {

// Real files hold a handful of chunks; a walk this long is a broken file.
constexpr int kMaxChunks = 65536;
constexpr int64_t kFirstChunk = 13;  // 1-based position of the first chunk after "RIFFnnnnWAVE"

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutId(std::vector<uint8_t>& b, const char* id) { b.insert(b.end(), id, id + 4); }

uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool Write32At(OpenFile& file, const std::string& path, int64_t offset, uint32_t value) {
  uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                  static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return WriteFileBytes(b, 4, offset, file, path, false);
}

// Chunk walk on an open file: the 1-based position of chunk `id`, or -1.
int64_t FindChunkIn(const OpenFile& file, int64_t size, std::string_view id) {
  int64_t pos = kFirstChunk;
  for (int n = 0; n < kMaxChunks; ++n) {
    if (size < pos + 3) return -1;
    uint8_t head[8];
    if (!ReadOpenFile(file, head, 4, pos - 1)) return -1;
    if (std::memcmp(head, id.data(), 4) == 0) return pos;
    if (size < pos + 7) return -1;
    if (!ReadOpenFile(file, head + 4, 4, pos + 3)) return -1;
    const uint32_t chunkSize = Get32(head + 4);
    pos += 8 + static_cast<int64_t>(chunkSize) + (chunkSize & 1);
  }
  return -1;
}

}  // namespace

std::vector<uint8_t> BuildWavHeader(int rate, int bits, int channels, uint32_t dataSize) {
  const bool extensible = channels == 6 || channels == 8;
  const uint32_t blockAlign = static_cast<uint32_t>(bits * channels / 8);
  std::vector<uint8_t> b;
  b.reserve(kWavExtensibleHeaderBytes);
  PutId(b, "RIFF");
  Put32(b, dataSize + (extensible ? 60u : 36u));
  PutId(b, "WAVE");
  PutId(b, "fmt ");
  Put32(b, extensible ? 40 : 16);
  Put16(b, extensible ? 0xFFFE : 1);
  Put16(b, static_cast<uint32_t>(channels));
  Put32(b, static_cast<uint32_t>(rate));
  Put32(b, static_cast<uint32_t>(rate) * blockAlign);
  Put16(b, blockAlign);
  Put16(b, static_cast<uint32_t>(bits));
  if (extensible) {
    Put16(b, 22);
    Put16(b, static_cast<uint32_t>(bits));
    Put32(b, channels == 6 ? 0x3F : 0xFF);
    static const uint8_t kPcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    b.insert(b.end(), kPcmGuid, kPcmGuid + 16);
  }
  PutId(b, "data");
  Put32(b, dataSize);
  return b;
}

bool WriteWavHeader(int rate, int bits, int channels, const std::string& path, uint32_t dataSize,
                    OpenFile* keepOpen) {
  return Trapped(false, [&] {
    // Appending to a file that could not be removed would bury the header
    // inside old data.
    if (!DeleteFileIfExists(path) || FileExists(path)) return false;
    const std::vector<uint8_t> header = BuildWavHeader(rate, bits, channels, dataSize);
    OpenFile file;
    if (!WriteFileBytes(header.data(), static_cast<int64_t>(header.size()), kAppend, file, path,
                        false))
      return false;
    if (keepOpen) *keepOpen = std::move(file);
    return true;
  });
}

bool UpdateWavSizes(const std::string& path, int64_t trailingBytes, bool riffOnly,
                    OpenFile* handle) {
  return Trapped(false, [&] {
    OpenFile own;
    OpenFile& file = handle ? *handle : own;
    if (!file.IsOpen()) {
      const int64_t size = GetFileSizeByName(path);
      if (size < 44) return false;
      // Open for writing without creating or truncating: only the two size
      // fields change.
      const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd < 0) return false;
      own = OpenFile(fd);
    }
    const int64_t size = GetOpenFileSize(file);
    if (size < 44 || size > 4294967295LL) return false;
    if (!Write32At(file, path, 4, static_cast<uint32_t>(size - 8))) return false;
    if (riffOnly) return true;
    int64_t pos = -1;
    {
      const OpenFile reader = OpenForReading(path);
      pos = FindChunkIn(reader, GetOpenFileSize(reader), "data");
    }
    if (pos == -1 || pos < 37) return false;
    const int64_t dataSize = size - pos - trailingBytes - 7;
    if (dataSize < 0) return false;
    return Write32At(file, path, pos + 3, static_cast<uint32_t>(dataSize));
  });
}

int64_t FindChunk(const std::string& path, std::string_view chunkId) {
  return Trapped<int64_t>(-1, [&]() -> int64_t {
    if (chunkId.size() != 4) return -1;
    const OpenFile file = OpenForReading(path);
    if (!file.IsOpen()) return -1;
    return FindChunkIn(file, GetOpenFileSize(file), chunkId);
  });
}

WavInfo ReadWavInfo(const std::string& path) {
  return Trapped(WavInfo{}, [&] {
    WavInfo info;
    const OpenFile file = OpenForReading(path);
    if (!file.IsOpen()) return WavInfo{};
    const int64_t size = GetOpenFileSize(file);
    uint8_t riff[12];
    if (size < 12 || !ReadOpenFile(file, riff, 12, 0) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
      return WavInfo{};
    bool haveFmt = false;
    bool haveData = false;
    int64_t pos = kFirstChunk;
    for (int n = 0; n < kMaxChunks && !(haveFmt && haveData); ++n) {
      uint8_t head[8];
      if (size < pos + 7 || !ReadOpenFile(file, head, 8, pos - 1)) return WavInfo{};
      const uint32_t chunkSize = Get32(head + 4);
      if (std::memcmp(head, "fmt ", 4) == 0) {
        uint8_t fmt[16];
        if (chunkSize < 16 || !ReadOpenFile(file, fmt, 16, pos + 7)) return WavInfo{};
        info.FormatTag = Get16(fmt);
        info.Channels = static_cast<int16_t>(Get16(fmt + 2));
        info.SampleRate = static_cast<int32_t>(Get32(fmt + 4));
        info.BitsPerSample = static_cast<int16_t>(Get16(fmt + 14));
        info.BlockAlign = RoundToInt32(info.BitsPerSample * info.Channels / 8.0);
        const auto code = FormatCodeFor(info.Channels, info.BitsPerSample);
        if (!code || info.SampleRate <= 0) return WavInfo{};
        info.FormatCode = *code;
        haveFmt = true;
      } else if (std::memcmp(head, "data", 4) == 0) {
        if (pos + 7 > 0x7FFFFFFF) return WavInfo{};
        info.DataOffset = static_cast<int32_t>(pos + 7);
        info.DataSize = chunkSize;
        haveData = true;
      }
      pos += 8 + static_cast<int64_t>(chunkSize) + (chunkSize & 1);
    }
    if (!(haveFmt && haveData)) return WavInfo{};
    const int64_t frames = info.DataSize / info.BlockAlign;
    info.FrameCount = static_cast<int32_t>(frames > 2147483647 ? 2147483647 : frames);
    info.DurationMs = RoundToInt32(static_cast<double>(info.FrameCount) / info.SampleRate * 1000.0);
    info.FileSize = size;
    info.Valid = 1;
    return info;
  });
}

}  // namespace varn
