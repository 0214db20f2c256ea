// The codec object's file conversions: a WAV file to MP3 and an MPEG audio
// file to WAV, in pieces, with progress and cancel.

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "archive/file_access.h"
#include "archive/mp3acm.h"
#include "log/event_log.h"
#include "util/error_catch.h"

namespace varn {

namespace {

// MPEG pieces of a decode: about 64 frames, ending on a frame start.
constexpr int64_t kDecodePieceFrames = 64;
constexpr int64_t kDecodeTailSlack = 200;
constexpr int64_t kFrameSearchBack = 10;

void Plain(const std::string& text) { WriteLogLine(text, false); }

// Converting a file onto itself would delete the source first.
bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

bool C_mp3acm::EncFromWavfile(const std::string& pSourceFN, const std::string& pTargetFN,
                              int32_t pBitrate) {
  return Trapped(false, [&] {
    TargetFile = pTargetFN;
    CanceledFlag = 0;
    const WavInfo info = ReadWavInfo(pSourceFN);
    // Without a readable source nothing is converted, and that is a failure,
    // not an empty success.
    if (info.Valid != 1 || SameFile(pSourceFN, pTargetFN)) return false;
    if (!EncInit(pBitrate, &info)) return false;
    if (!DeleteFileIfExists(pTargetFN)) {
      AcmClose();
      return false;
    }
    // A file cut short (a recording that ended in a crash) says more data
    // than it holds; convert what is there.
    const int64_t present =
        std::max<int64_t>(0, (info.FileSize - info.DataOffset) / info.BlockAlign);
    const int64_t frames = std::min<int64_t>(info.FrameCount, present);

    OpenFile target;
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> out;
    bool complete = true;
    auto append = [&](int32_t bytes) {
      if (bytes <= 0) return true;
      if (WriteFileBytes(out.data(), bytes, kAppend, target, pTargetFN, false)) return true;
      Plain(WithLastFileError("Write Error " + pTargetFN));
      return false;
    };
    for (int64_t first = 0; first < frames; first += kEncodePieceFrames) {
      if (ReportProgress(info.FrameCount > 0 ? static_cast<double>(first) / info.FrameCount
                                             : 0.0)) {
        Plain("Canceled#" + pTargetFN);
        complete = false;
        break;
      }
      const int64_t count = std::min<int64_t>(kEncodePieceFrames, frames - first);
      const int64_t bytes = count * info.BlockAlign;
      pcm.resize(static_cast<size_t>(bytes));
      if (!ReadFileBytes(pcm.data(), bytes, info.DataOffset + first * info.BlockAlign, pSourceFN)) {
        Plain(WithLastFileError("Read Error " + pSourceFN));
        complete = false;
        break;
      }
      int32_t used = 0;
      int32_t produced = 0;
      if (!EncProc(pcm.data(), static_cast<int32_t>(bytes), out, used, produced)) {
        Plain("EncProc Failed");
        complete = false;
        break;
      }
      if (produced <= 0) Plain("Encode " + std::to_string(produced) + "#" + pTargetFN);
      if (!append(produced)) {
        complete = false;
        break;
      }
    }
    // The encoder holds back the last frames until it is told the input ended.
    if (complete) {
      int32_t produced = 0;
      complete = EncFlush(out, produced) && append(produced);
    }
    if (complete && !target.IsOpen()) {
      // Nothing was produced at all: still leave an (empty) target behind.
      complete = WriteFileBytes(out.data(), 0, kAppend, target, pTargetFN, false);
    }
    target.Close();
    AcmClose();
    if (!complete) DeleteFileIfExists(pTargetFN);
    return complete;
  });
}

bool C_mp3acm::DecFrommp3file(const std::string& pSourceFN, const std::string& pTargetFN) {
  return Trapped(false, [&] {
    TargetFile = pTargetFN;
    CanceledFlag = 0;
    if (SameFile(pSourceFN, pTargetFN)) return false;
    if (!DeleteFileIfExists(pTargetFN)) return false;
    MpegInfo info;
    if (ReadMpegInfo(pSourceFN, info) != 1 || !DecInit(&info)) return false;
    OpenFile target;
    if (!WriteWavHeader(info.Rate, 16, info.ChannelCount, pTargetFN, 0, &target)) {
      AcmClose();
      DeleteFileIfExists(pTargetFN);
      return false;
    }
    const int64_t piece = kDecodePieceFrames * std::max<int64_t>(DecMp3Format.blockSize, 1);
    std::vector<uint8_t> mpeg;
    std::vector<uint8_t> pcm;
    bool complete = true;
    auto convert = [&](const uint8_t* src, int32_t size) {
      int32_t produced = 0;
      if (!DecProc(src, size, pcm, produced)) return false;
      return produced <= 0 ||
             WriteFileBytes(pcm.data(), produced, kAppend, target, pTargetFN, false);
    };
    int64_t pos = info.FirstFrame;
    while (pos <= info.AudioEnd) {
      if (ReportProgress(static_cast<double>(pos - info.FirstFrame) /
                         std::max(info.AudioLength, 1))) {
        complete = false;
        break;
      }
      int64_t end = info.AudioEnd + 1;
      if (info.AudioEnd + 1 - pos >= piece + kDecodeTailSlack)
        end = FindFrameStart(pSourceFN, static_cast<int32_t>(pos + piece - kFrameSearchBack), info);
      if (end <= pos) end = std::min<int64_t>(pos + piece, info.AudioEnd + 1);
      const int64_t bytes = end - pos;
      mpeg.resize(static_cast<size_t>(bytes));
      if (!ReadFileBytes(mpeg.data(), bytes, pos - 1, pSourceFN) ||
          !convert(mpeg.data(), static_cast<int32_t>(bytes))) {
        complete = false;
        break;
      }
      pos = end;
    }
    // Whatever the decoder still holds.
    if (complete) complete = convert(nullptr, 0);
    if (complete) complete = UpdateWavSizes(pTargetFN, 0, false, &target);
    target.Close();
    AcmClose();
    if (!complete) DeleteFileIfExists(pTargetFN);
    return complete;
  });
}

}  // namespace varn
