#include "archive/disk_buffer.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/archive_texts.h"
#include "archive/file_access.h"
#include "archive/mpeg_header.h"
#include "archive/wav_file.h"
#include "log/event_log.h"
#include "util/error_catch.h"
#include "util/numeric.h"

namespace varn {

namespace {

constexpr int32_t kBufferSlack = 1025;
constexpr int64_t kWavBufferSeconds = 4;
constexpr int64_t kMp3BytesPerKbps = 1408;
constexpr int32_t kArchiveBits = 16;

void DiskDiagnostic(const std::string& text) { WriteLogLine(text, true); }

std::string DiskNum(int64_t v) { return std::to_string(v); }

int32_t Clamp32(int64_t v) {
  return v < 0                           ? 0
         : v > 0x7FFFFFFF - kBufferSlack ? 0x7FFFFFFF - kBufferSlack
                                         : static_cast<int32_t>(v);
}

void ForgetHole(DiskBuffer& buffer) {
  buffer.HoleFile.clear();
  buffer.HoleBytes = 0;
  buffer.HoleFrames.clear();
}

// Adds what a failed write dropped to the file's hole.
void Widen(DiskBuffer& buffer, const uint8_t* bytes, int32_t count) {
  if (buffer.HoleFile != buffer.FileName) {
    ForgetHole(buffer);
    buffer.HoleFile = buffer.FileName;
  }
  if (buffer.BitRate == 0) {
    buffer.HoleBytes += static_cast<uint64_t>(count);
    return;
  }
  for (int32_t at = 0; at + 4 <= count;) {
    const std::optional<MpegFrameHeader> h = DecodeFrameHeader(bytes + at);
    if (!IsFrameSync(bytes[at], bytes[at + 1]) || !h || h->frameBytes < 4) {
      ++at;  // not a frame start (never the case for the encoder's output)
      continue;
    }
    const uint32_t header = static_cast<uint32_t>(bytes[at]) << 24 |
                            static_cast<uint32_t>(bytes[at + 1]) << 16 |
                            static_cast<uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
    auto it = std::find_if(buffer.HoleFrames.begin(), buffer.HoleFrames.end(),
                           [header](const auto& f) { return f.first == header; });
    if (it == buffer.HoleFrames.end())
      buffer.HoleFrames.emplace_back(header, 1);
    else
      ++it->second;
    at += h->frameBytes;
  }
}

// Writes the file's hole as silence; false when the disk still refuses.
bool FillHole(DiskBuffer& buffer, OpenFile& file) {
  if (buffer.HoleFile.empty()) return true;
  if (buffer.HoleFile != buffer.FileName) {
    // The hour's file changed meanwhile: the old one stays short.
    ForgetHole(buffer);
    return true;
  }
  constexpr uint64_t kChunk = 1 << 20;
  std::vector<uint8_t> zeros;
  const auto write = [&](uint64_t bytes) {
    if (zeros.size() < std::min(bytes, kChunk)) zeros.assign(std::min(bytes, kChunk), 0);
    while (bytes > 0) {
      const uint64_t n = std::min(bytes, kChunk);
      if (!WriteFileBytes(zeros.data(), static_cast<int64_t>(n), kAppend, file, buffer.FileName,
                          false))
        return false;
      buffer.Written += n;
      bytes -= n;
    }
    return true;
  };
  if (buffer.BitRate == 0) {
    if (!write(buffer.HoleBytes)) return false;
  } else {
    for (auto& [header, count] : buffer.HoleFrames) {
      const uint8_t h[4] = {static_cast<uint8_t>(header >> 24), static_cast<uint8_t>(header >> 16),
                            static_cast<uint8_t>(header >> 8), static_cast<uint8_t>(header)};
      const int32_t frameBytes = DecodeFrameHeader(h)->frameBytes;
      std::vector<uint8_t> frame(static_cast<size_t>(frameBytes), 0);
      std::copy(h, h + 4, frame.begin());
      // Many frames at a time: the silent frames are all alike.
      const uint64_t perChunk = std::max<uint64_t>(1, kChunk / static_cast<uint64_t>(frameBytes));
      std::vector<uint8_t> run;
      for (uint64_t i = 0; i < std::min(count, perChunk); ++i)
        run.insert(run.end(), frame.begin(), frame.end());
      while (count > 0) {
        const uint64_t n = std::min(count, perChunk);
        if (!WriteFileBytes(run.data(), static_cast<int64_t>(n) * frameBytes, kAppend, file,
                            buffer.FileName, false))
          return false;
        buffer.Written += n * static_cast<uint64_t>(frameBytes);
        count -= n;
      }
    }
  }
  ForgetHole(buffer);
  return true;
}

void Flush(DiskBuffer& buffer, int32_t ch) {
  // Nothing to write, unless a hole waits for the disk to come back.
  if (buffer.FileName.empty()) return;
  if (buffer.Fill <= 0 && buffer.HoleFile != buffer.FileName) return;
  const bool wav = buffer.BitRate == 0;
  // A WAV file whose header never reached the disk (the disk was full when
  // the hour began) gets one first, so the audio lands in a valid file and
  // not in a headerless one whose first bytes the size patch would overwrite.
  bool headerThere = true;
  // A file not there yet is no failure: only what fails below gives the
  // reason of the diagnostics line.
  const bool headerMissing = wav && GetFileSizeByName(buffer.FileName) < kWavHeaderBytes;
  ClearFileError();
  if (headerMissing) {
    headerThere = buffer.Rate > 0 && buffer.Channels > 0 &&
                  WriteWavHeader(buffer.Rate, kArchiveBits, buffer.Channels, buffer.FileName, 0);
    if (headerThere) buffer.Written += kWavHeaderBytes;
  }
  OpenFile file;
  const bool ok = headerThere && FillHole(buffer, file) &&
                  WriteFileBytes(buffer.Bytes.data(), buffer.Fill, kAppend, file, buffer.FileName,
                                 true);
  ++buffer.Flushes;
  if (!ok) {
    buffer.Dropped += static_cast<uint64_t>(buffer.Fill);
    Widen(buffer, buffer.Bytes.data(), buffer.Fill);
    DiskDiagnostic(WithLastFileError("WriteDiskBuffer err2 pl=" + DiskNum(ch) + " FN=" + buffer.FileName +
                                 " CurrentSize=" + DiskNum(buffer.Fill)));
    if (!buffer.WriteFailing) LogEvent(kArchiveWriteFailed, ch);
    buffer.WriteFailing = true;
  } else {
    buffer.Written += static_cast<uint64_t>(buffer.Fill);
    if (buffer.WriteFailing) {
      LogEvent(kArchiveWriteResumed, ch);
      buffer.WriteFailing = false;
    }
  }
  if (wav) UpdateWavSizes(buffer.FileName);
  buffer.Fill = 0;
}

}  // namespace

int32_t WavBufferCapacity(int32_t blockAlign, int32_t rate) {
  return Clamp32(static_cast<int64_t>(blockAlign) * rate * kWavBufferSeconds);
}

int32_t Mp3BufferCapacity(int32_t bitRate) {
  return Clamp32(static_cast<int64_t>(bitRate) * kMp3BytesPerKbps);
}

void ResetDiskBuffer(DiskBuffer& buffer, int32_t bitRate, int32_t rate, int32_t channels) {
  buffer.FileName.clear();
  ForgetHole(buffer);
  buffer.Fill = 0;
  buffer.BitRate = bitRate < 1 ? 0 : bitRate;
  buffer.Rate = rate;
  buffer.Channels = channels;
  buffer.Capacity = buffer.BitRate == 0 ? WavBufferCapacity(channels * kArchiveBits / 8, rate)
                                        : Mp3BufferCapacity(buffer.BitRate);
  buffer.Bytes.assign(static_cast<size_t>(buffer.Capacity) + kBufferSlack, 0);
}

int32_t WriteDiskBuffer(DiskBuffer& buffer, int32_t ch, const uint8_t* source, int32_t length,
                        const std::string& fileName, int32_t flush) {
  return Trapped<int32_t>(0, [&]() -> int32_t {
    if (buffer.Capacity < length) {
      DiskDiagnostic("WriteDiskBuffer err1a pl=" + DiskNum(ch) + " FN=" + buffer.FileName +
                 "pLen=" + DiskNum(length));
      return 0;
    }
    if (source && length <= 0) {
      DiskDiagnostic("WriteDiskBuffer err1b pl=" + DiskNum(ch) + " FN=" + buffer.FileName +
                 "pLen=" + DiskNum(length) + " pSrcVar=" + DiskNum(reinterpret_cast<uintptr_t>(source)));
      return 0;
    }
    const bool changeOfFile = fileName != buffer.FileName;
    if (changeOfFile || flush == 1 || static_cast<int64_t>(buffer.Fill) + length >= buffer.Capacity)
      Flush(buffer, ch);
    if (!fileName.empty()) buffer.FileName = fileName;
    if (source && length > 0) {
      if (buffer.Bytes.size() < static_cast<size_t>(buffer.Fill) + length)
        buffer.Bytes.resize(static_cast<size_t>(buffer.Fill) + length);
      std::memcpy(buffer.Bytes.data() + buffer.Fill, source, static_cast<size_t>(length));
      buffer.Fill += length;
    }
    return 1;
  });
}

}  // namespace varn
