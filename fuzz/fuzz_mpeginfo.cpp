// ReadMpegInfo and FindFrameStart on arbitrary bytes: they must end, and a
// description they accept must hold together.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/mpeg_info.h"
#include "temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = varn::fuzz::TempFolder() + "input.mp3";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  varn::MpegInfo info;
  if (varn::ReadMpegInfo(path, info) != 1) return 0;
  const auto n = static_cast<int64_t>(size);
  if (info.FirstFrame < 1 || info.FirstFrame > n || info.AudioLength < 1 ||
      info.AudioEnd != info.FirstFrame + info.AudioLength - 1 || info.AudioEnd > n ||
      info.FileLength != n || info.Rate < 8000 || info.Rate > 48000 || info.Layer < 1 ||
      info.Layer > 3 || info.Kbps < 0 || info.LengthMs < 0 || info.SearchSpan < 0 ||
      (info.ChannelCount != 1 && info.ChannelCount != 2) || data[info.FirstFrame - 1] != 0xFF)
    std::abort();
  // Every answer is a frame start inside the audio or the end of it.
  for (int32_t from : {info.FirstFrame - 7, info.FirstFrame, info.FirstFrame + 3,
                       (info.FirstFrame + info.AudioEnd) / 2, info.AudioEnd, info.AudioEnd + 99}) {
    const int32_t at = varn::FindFrameStart(path, from, info);
    if (at == info.AudioEnd + 1) continue;
    if (at < info.FirstFrame || at > info.AudioEnd - 3 || at < std::max(from, info.FirstFrame) ||
        data[at - 1] != 0xFF)
      std::abort();
  }
  return 0;
}
