#include "archive/mp3_file_reader.h"

#include <algorithm>
#include <cstring>

#include "util/error_catch.h"

namespace varn {

namespace {
constexpr int64_t kPieceBytes = 65536;
}  // namespace

bool Mp3FileReader::Open(const std::string& path) {
  Close();
  return Trapped(false, [&] {
    if (ReadMpegInfo(path, info_) != 1) return false;
    file_ = OpenForReading(path);
    if (!file_.IsOpen()) return false;
    path_ = path;
    if (!Rewind()) {
      Close();
      return false;
    }
    return true;
  });
}

void Mp3FileReader::Close() {
  file_.Close();
  decoder_.AcmClose();
  info_ = MpegInfo{};
  pcm_.clear();
  pcmPos_ = 0;
  pcmFill_ = 0;
}

bool Mp3FileReader::Rewind() {
  // A fresh decoder: one that kept the last pass's overlap and reservoir
  // would start the next pass with different samples.
  decoder_.AcmClose();
  if (!file_.IsOpen() || !decoder_.DecInit(&info_)) return false;
  nextByte_ = info_.FirstFrame - 1;
  drained_ = false;
  pcmPos_ = 0;
  pcmFill_ = 0;
  return true;
}

// Decodes the next piece of the file; false at the end or on an error.
bool Mp3FileReader::Refill() {
  pcmPos_ = 0;
  pcmFill_ = 0;
  const int64_t end = info_.AudioEnd;  // 0-based offset one past the last audio byte
  if (nextByte_ < end) {
    const int64_t bytes = std::min(kPieceBytes, end - nextByte_);
    mpeg_.resize(static_cast<size_t>(bytes));
    if (!ReadOpenFile(file_, mpeg_.data(), bytes, nextByte_)) return false;
    nextByte_ += bytes;
    return decoder_.DecProc(mpeg_.data(), static_cast<int32_t>(bytes), pcm_, pcmFill_);
  }
  if (drained_) return false;
  drained_ = true;
  return decoder_.DecProc(nullptr, 0, pcm_, pcmFill_);
}

int64_t Mp3FileReader::Read(int16_t* out, int64_t frames) {
  if (!file_.IsOpen() || frames < 0) return -1;
  return Trapped<int64_t>(-1, [&]() -> int64_t {
    const size_t frameBytes = static_cast<size_t>(2 * info_.ChannelCount);
    auto* dst = reinterpret_cast<uint8_t*>(out);
    int64_t done = 0;
    while (done < frames) {
      if (pcmPos_ >= static_cast<size_t>(pcmFill_)) {
        const bool more = nextByte_ < info_.AudioEnd || !drained_;
        if (!more) break;
        if (!Refill()) return done > 0 ? done : (nextByte_ >= info_.AudioEnd && drained_ ? 0 : -1);
        continue;
      }
      const size_t available = (static_cast<size_t>(pcmFill_) - pcmPos_) / frameBytes;
      const size_t take = std::min<size_t>(available, static_cast<size_t>(frames - done));
      if (take == 0) {
        pcmPos_ = static_cast<size_t>(pcmFill_);  // a torn frame cannot happen; skip it
        continue;
      }
      std::memcpy(dst + done * frameBytes, pcm_.data() + pcmPos_, take * frameBytes);
      pcmPos_ += take * frameBytes;
      done += static_cast<int64_t>(take);
    }
    return done;
  });
}

}  // namespace varn
