#include "archive/mpeg_frames.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace varn {

namespace {

constexpr int64_t kChunk = 1 << 20;
// How far into a file the first frame header is looked for (an ID3v2 tag,
// a little junk before the first frame).
constexpr int64_t kFirstFrameSearch = 1 << 16;

bool SameStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

// A window over the file, read a chunk at a time.
class ByteWindow {
 public:
  ByteWindow(const OpenFile& file, int64_t size) : file_(file), size_(size) {}
  // Pointer to `count` bytes at `offset`, or null past the end of the file.
  const uint8_t* At(int64_t offset, int64_t count) {
    if (offset < 0 || offset + count > size_) return nullptr;
    if (offset < start_ || offset + count > start_ + static_cast<int64_t>(bytes_.size())) {
      const int64_t want = std::min(std::max(kChunk, count), size_ - offset);
      bytes_.resize(static_cast<size_t>(want));
      if (!ReadOpenFile(file_, bytes_.data(), want, offset)) {
        bytes_.clear();
        start_ = 0;
        return nullptr;
      }
      start_ = offset;
    }
    return bytes_.data() + (offset - start_);
  }

 private:
  const OpenFile& file_;
  int64_t size_;
  int64_t start_ = 0;
  std::vector<uint8_t> bytes_;
};

// An ID3v2 tag's whole size at the start of a file, or 0.
int64_t Id3v2Size(const uint8_t* p) {
  if (std::memcmp(p, "ID3", 3) != 0) return 0;
  const int64_t body = (int64_t{p[6] & 0x7F} << 21) | (int64_t{p[7] & 0x7F} << 14) |
                       (int64_t{p[8] & 0x7F} << 7) | int64_t{p[9] & 0x7F};
  return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

}  // namespace

MpegFrameWalk WalkMpegFrames(const OpenFile& file,
                             const std::function<bool(int64_t, int32_t)>& onFrame) {
  MpegFrameWalk walk;
  const int64_t size = GetOpenFileSize(file);
  if (size < 4) {
    walk.error = "too short for MPEG audio";
    return walk;
  }
  ByteWindow window(file, size);
  int64_t pos = 0;
  if (const uint8_t* p = window.At(0, 10)) pos = Id3v2Size(p);
  // The first header: one followed by another that agrees with it (or by
  // the end of the file), so a stray sync pattern is not taken for one.
  std::optional<MpegFrameHeader> first;
  for (const int64_t limit = std::min(size, pos + kFirstFrameSearch); pos + 4 <= limit; ++pos) {
    const uint8_t* p = window.At(pos, 4);
    if (!p) break;
    if (!IsFrameSync(p[0], p[1])) continue;
    const auto h = DecodeFrameHeader(p);
    if (!h) continue;
    const uint8_t* q = window.At(pos + h->frameBytes, 4);
    if (pos + h->frameBytes < size && !(q && IsFrameSync(q[0], q[1]) && DecodeFrameHeader(q) &&
                                        SameStream(*DecodeFrameHeader(q), *h)))
      continue;
    first = h;
    break;
  }
  if (!first) {
    walk.error = "no MPEG audio frame found";
    return walk;
  }
  walk.first = *first;
  walk.end = pos;
  bool tagChecked = false;
  while (pos + 4 <= size) {
    const uint8_t* p = window.At(pos, 4);
    if (!p || !IsFrameSync(p[0], p[1])) break;
    const auto h = DecodeFrameHeader(p);
    if (!h || !SameStream(*h, *first) || pos + h->frameBytes > size) break;
    if (!tagChecked) {
      tagChecked = true;
      // An encoder's Xing or Info tag frame carries no audio.
      const uint8_t* tag = window.At(pos + h->xingOffset, 4);
      if (tag && (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0)) {
        pos += h->frameBytes;
        walk.end = pos;
        continue;
      }
    }
    if (walk.firstAudio < 0) walk.firstAudio = pos;
    ++walk.frames;
    if (onFrame && !onFrame(pos, h->frameBytes)) {
      walk.end = pos + h->frameBytes;
      return walk;
    }
    pos += h->frameBytes;
    walk.end = pos;
  }
  return walk;
}

}  // namespace varn
