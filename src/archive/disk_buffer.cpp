#include "archive/disk_buffer.h"

#include <cstring>

#include "archive/archive_texts.h"
#include "archive/file_access.h"
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

void Diagnostic(const std::string& text) { WriteLogLine(text, true); }

std::string Num(int64_t v) { return std::to_string(v); }

int32_t Clamp32(int64_t v) {
  return v < 0                           ? 0
         : v > 0x7FFFFFFF - kBufferSlack ? 0x7FFFFFFF - kBufferSlack
                                         : static_cast<int32_t>(v);
}

void Flush(DiskBuffer& buffer, int32_t ch) {
  if (buffer.FileName.empty() || buffer.Fill <= 0) return;
  const bool wav = buffer.BitRate == 0;
  // A WAV file whose header never reached the disk (the disk was full when
  // the hour began) gets one first, so the audio lands in a valid file and
  // not in a headerless one whose first bytes the size patch would overwrite.
  bool headerThere = true;
  if (wav && GetFileSizeByName(buffer.FileName) < kWavHeaderBytes) {
    headerThere = buffer.Rate > 0 && buffer.Channels > 0 &&
                  WriteWavHeader(buffer.Rate, kArchiveBits, buffer.Channels, buffer.FileName, 0);
    if (headerThere) buffer.Written += kWavHeaderBytes;
  }
  OpenFile file;
  const bool ok = headerThere && WriteFileBytes(buffer.Bytes.data(), buffer.Fill, kAppend, file,
                                                buffer.FileName, true);
  if (!ok) {
    Diagnostic("WriteDiskBuffer err2 pl=" + Num(ch) + " FN=" + buffer.FileName +
               " CurrentSize=" + Num(buffer.Fill));
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
      Diagnostic("WriteDiskBuffer err1a pl=" + Num(ch) + " FN=" + buffer.FileName +
                 "pLen=" + Num(length));
      return 0;
    }
    if (source && length <= 0) {
      Diagnostic("WriteDiskBuffer err1b pl=" + Num(ch) + " FN=" + buffer.FileName +
                 "pLen=" + Num(length) + " pSrcVar=" + Num(reinterpret_cast<uintptr_t>(source)));
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
