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

MpegFrameWalk CountMpegFrames(const OpenFile& file) {
  // The first frames tell the layout (a tag frame, the first audio frame).
  int64_t seen = 0;
  const MpegFrameWalk head = WalkMpegFrames(file, [&](int64_t, int32_t) { return ++seen < 2; });
  if (!head.error.empty() || head.frames < 2) return WalkMpegFrames(file, {});
  const MpegFrameHeader& h = head.first;
  const int64_t size = GetOpenFileSize(file);
  // Bytes per frame on average. A constant bit rate keeps every frame
  // within a byte of its share (the padding bit adds the byte that is
  // due), so frame i starts within a byte of first + i * average.
  const double average = static_cast<double>(h.samplesPerFrame) / 8.0 * h.kbps * 1000.0 / h.rate;
  auto agrees = [&](int64_t at) -> std::optional<MpegFrameHeader> {
    uint8_t b[4];
    if (at < head.firstAudio || at + 4 > size || !ReadOpenFile(file, b, 4, at) ||
        !IsFrameSync(b[0], b[1]))
      return std::nullopt;
    const auto got = DecodeFrameHeader(b);
    if (!got || !SameStream(*got, h) || got->kbps != h.kbps) return std::nullopt;
    return got;
  };
  // A frame near `predicted` that the next one follows.
  auto frameNear = [&](double predicted) -> std::optional<int64_t> {
    const auto base = static_cast<int64_t>(predicted);
    for (const int64_t at : {base, base + 1, base - 1, base + 2}) {
      const auto got = agrees(at);
      // The next header, unless the file ends before one fits.
      if (got && (at + got->frameBytes + 4 > size || agrees(at + got->frameBytes))) return at;
    }
    return std::nullopt;
  };
  const auto guess = static_cast<int64_t>((static_cast<double>(size - head.firstAudio)) / average);
  // The last whole frame is the guess or one of its neighbours.
  for (int64_t n = guess + 1; n >= std::max<int64_t>(2, guess - 1); --n) {
    const auto last = frameNear(head.firstAudio + static_cast<double>(n - 1) * average);
    if (!last) continue;
    const auto lastHeader = agrees(*last);
    if (*last + lastHeader->frameBytes > size) continue;  // cut short: not a whole frame
    if (!frameNear(head.firstAudio + static_cast<double>(n / 2) * average)) break;
    MpegFrameWalk walk = head;
    walk.frames = n;
    walk.end = *last + lastHeader->frameBytes;
    return walk;
  }
  return WalkMpegFrames(file, {});
}

}  // namespace varn
