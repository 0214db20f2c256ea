#include "archive/mpeg_info.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/file_access.h"
#include "archive/mpeg_header.h"
#include "util/error_catch.h"
#include "util/numeric.h"
#include "util/text.h"

namespace varn {

namespace {

constexpr int64_t kMinFileBytes = 48;
constexpr int64_t kSearchChunk = 1000;
constexpr int64_t kEndTagBytes = 128;
constexpr int kFullScore = 42;

// A byte pair that can begin a frame header. Files named *.mp3 never start a
// frame with FF FF (that would be layer I).
bool IsCandidate(uint8_t b0, uint8_t b1, bool mp3Name) {
  return IsFrameSync(b0, b1) && !(mp3Name && b1 == 0xFF);
}

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

const char* LongModeName(int mode) {
  static const char* const kNames[] = {"Stereo", "JointStereo", "DualChannel", "Mono"};
  return kNames[mode & 3];
}
const char* ShortModeName(int mode) {
  static const char* const kNames[] = {"ST", "JS", "DC", "Mono"};
  return kNames[mode & 3];
}

// 44100 gives "44.1", 8000 gives "8", 11025 gives "11.025".
std::string KiloHertzText(int32_t rate) {
  std::string text = FormatFixed(rate / 1000.0, 3);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// The offset of the first accepted frame header at or after `start`, or -1.
int64_t SearchFirstFrame(const OpenFile& file, int64_t size, int64_t start, bool mp3Name,
                         int remembered) {
  std::vector<uint8_t> chunk(static_cast<size_t>(kSearchChunk));
  int64_t pos = start;
  while (pos < size) {
    const int64_t len = std::min(kSearchChunk, size - pos);
    if (len < 4 || !ReadOpenFile(file, chunk.data(), len, pos)) return -1;
    for (int64_t i = 0; i + 3 < len; ++i) {
      const uint8_t* b = chunk.data() + i;
      if (!IsCandidate(b[0], b[1], mp3Name)) continue;
      if (remembered >= 0) {
        if (b[1] == remembered && b[2] != 0xFF) return pos + i;
      } else if (b[2] == 0xFF) {
        remembered = b[1];
      } else {
        return pos + i;
      }
    }
    // The next chunk repeats the last three bytes, so no header is missed
    // where it straddles two chunks.
    pos += len - 3;
  }
  return -1;
}

int32_t ReadInfo(const std::string& path, MpegInfo& info) {
  const OpenFile file = OpenForReading(path);
  if (!file.IsOpen()) return 0;
  const int64_t size = GetOpenFileSize(file);
  if (size < kMinFileBytes || size > 0x7FFFFFFF) return 0;
  info.FileLength = static_cast<int32_t>(size);
  uint8_t head[kMinFileBytes];
  if (!ReadOpenFile(file, head, kMinFileBytes, 0)) return 0;
  const bool mp3Name = EndsWithIgnoreCase(path, "mp3");

  int64_t start = 0;
  int64_t frameAt = -1;
  int remembered = -1;
  if (std::memcmp(head, "TAG", 3) == 0) {
    start = kEndTagBytes;
  } else if (std::memcmp(head, "ID3", 3) == 0) {
    const int64_t tagSize = ((head[6] & 0x7F) << 21) | ((head[7] & 0x7F) << 14) |
                            ((head[8] & 0x7F) << 7) | (head[9] & 0x7F);
    start = 10 + tagSize;
  } else if (IsCandidate(head[0], head[1], mp3Name)) {
    if (head[2] != 0xFF)
      frameAt = 0;
    else
      remembered = head[1];
  }
  if (frameAt < 0) frameAt = SearchFirstFrame(file, size, start, mp3Name, remembered);
  if (frameAt < 0 || frameAt + 4 > size) return 0;

  uint8_t header[4];
  if (!ReadOpenFile(file, header, 4, frameAt)) return 0;
  const auto h = DecodeFrameHeader(header);
  // A VBR file made by an encoder carries a "Xing" tag in place of the
  // audio of its first frame, right after the side information.
  if (h) {
    uint8_t xing[12];
    if (frameAt + h->xingOffset + 12 <= size &&
        ReadOpenFile(file, xing, 12, frameAt + h->xingOffset) &&
        std::memcmp(xing, "Xing", 4) == 0) {
      info.IsVbr = 1;
      if (Be32(xing + 4) & 1)
        info.VbrFrames = static_cast<int32_t>(std::min<uint32_t>(Be32(xing + 8), 0x7FFFFFFF));
    }
  }
  std::copy(header + 1, header + 4, info.HeaderBytes.begin());
  info.FirstFrame = static_cast<int32_t>(frameAt + 1);

  // An ID3v1 tag takes the last 128 bytes of the file.
  int64_t audioLength = size - info.FirstFrame + 1;
  uint8_t tag[3];
  if (size >= kEndTagBytes && ReadOpenFile(file, tag, 3, size - kEndTagBytes) &&
      std::memcmp(tag, "TAG", 3) == 0) {
    const int64_t tagPos = size - kEndTagBytes + 1;
    if (tagPos - info.FirstFrame > 3) audioLength = tagPos - info.FirstFrame;
  }
  info.AudioLength = static_cast<int32_t>(audioLength);
  info.AudioEnd = info.FirstFrame + info.AudioLength - 1;

  if (!h) return 0;
  info.Layer = h->layer;
  info.LowRate = h->version == MpegVersion::Mpeg1 ? 0 : 1;
  info.Kbps = h->kbps;
  info.Rate = h->rate;
  info.ChannelMode = h->channelMode;
  info.ChannelCount = h->channelMode == 3 ? 1 : 2;

  if (info.IsVbr && info.VbrFrames > 0) {
    // Lower-sampling-frequency layer III frames hold 576 samples, not 1152.
    info.LengthMs = RoundToInt32(static_cast<double>(info.VbrFrames) * h->samplesPerFrame /
                                 (info.Rate / 1000.0));
    if (info.LengthMs > 0) info.Kbps = RoundToInt32(info.AudioLength * 8.0 / info.LengthMs);
  } else {
    info.IsVbr = 0;  // a tag without a frame count tells nothing about the length
    info.LengthMs = RoundToInt32(info.AudioLength / (info.Kbps / 8.0));
  }

  info.LongText = "mp" + std::to_string(info.Layer) + "(" + std::to_string(info.Rate) + "Hz/" +
                  std::to_string(info.Kbps) + "kbps" + (info.IsVbr ? "[VBR]" : "") + "/" +
                  LongModeName(info.ChannelMode) + ")";
  info.ShortText = "mp" + std::to_string(info.Layer) + "(" + KiloHertzText(info.Rate) + "kHz/" +
                   std::to_string(info.Kbps) + "kb/" + ShortModeName(info.ChannelMode) + ")";
  info.SearchSpan = RoundToInt32(3456.0 / info.Rate * info.Kbps * 125.0);
  return 1;
}

// How well a candidate header agrees with the file's first header. Version,
// layer, sample rate and channel mode weigh most, since they never change
// within a file; the bit rate (VBR) and the flags weigh least, and the
// padding bit not at all. A perfect match scores 42.
int Score(const uint8_t* c, const std::array<uint8_t, 3>& ref) {
  struct Bit {
    int byte;
    int mask;
    int weight;
  };
  static constexpr Bit kBits[] = {
      {0, 0x08, 4}, {0, 0x04, 4}, {0, 0x02, 4}, {0, 0x01, 1},   // version, layer, protection
      {1, 0x80, 1}, {1, 0x40, 1}, {1, 0x20, 1}, {1, 0x10, 1},   // bit rate
      {1, 0x08, 4}, {1, 0x04, 4}, {1, 0x01, 1},                 // sample rate, private
      {2, 0x80, 4}, {2, 0x40, 4}, {2, 0x20, 2}, {2, 0x10, 2},   // mode, extension
      {2, 0x08, 1}, {2, 0x04, 1}, {2, 0x02, 1}, {2, 0x01, 1}};  // copyright, original, emphasis
  int score = 0;
  for (const Bit& bit : kBits)
    if ((c[bit.byte] & bit.mask) == (ref[static_cast<size_t>(bit.byte)] & bit.mask))
      score += bit.weight;
  return score;
}

}  // namespace

int32_t ReadMpegInfo(const std::string& path, MpegInfo& info) {
  info = MpegInfo{};
  const int32_t result = Trapped<int32_t>(0, [&] { return ReadInfo(path, info); });
  return result;
}

int32_t FindFrameStart(const std::string& path, int32_t from, const MpegInfo& info) {
  const int32_t none = info.AudioEnd + 1;
  return Trapped<int32_t>(none, [&]() -> int32_t {
    if (info.FirstFrame < 1 || info.AudioEnd < info.FirstFrame || info.SearchSpan < 0) return none;
    const int64_t at = std::clamp(from, info.FirstFrame, info.AudioEnd);
    const int64_t window = std::min<int64_t>(2LL * info.SearchSpan, info.AudioEnd - at + 1);
    if (window < info.SearchSpan || window < 4) return none;
    std::vector<uint8_t> bytes(static_cast<size_t>(window));
    if (!ReadFileBytes(bytes.data(), window, at - 1, path)) return none;
    // The MPEG-2.5 bit is part of the sync; a candidate must share it.
    const uint8_t extension = info.HeaderBytes[0] & 0x10;
    int best = 0;
    int64_t bestAt = -1;
    for (int64_t i = 0; i + 3 < window; ++i) {
      const uint8_t* b = bytes.data() + i;
      if (!IsFrameSync(b[0], b[1]) || (b[1] & 0x10) != extension) continue;
      const int score = Score(b + 1, info.HeaderBytes);
      if (score > best) {
        best = score;
        bestAt = i;
        if (score == kFullScore) break;
      }
    }
    return bestAt < 0 ? none : static_cast<int32_t>(at + bestAt);
  });
}

}  // namespace varn
