// ReadWavInfo on arbitrary bytes: it must end, and say Valid = 1 only with a
// description that holds together.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/wav_file.h"
#include "temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = varn::fuzz::TempFolder() + "input.wav";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const varn::WavInfo w = varn::ReadWavInfo(path);
  if (w.Valid == 1) {
    if (w.BlockAlign <= 0 || w.SampleRate <= 0 || w.FrameCount < 0 || w.DataOffset < 20 ||
        w.DurationMs < 0 || w.FileSize != static_cast<int64_t>(size))
      std::abort();
  }
  // The sizes patch must never change a file's length.
  varn::UpdateWavSizes(path);
  FILE* g = std::fopen(path.c_str(), "rb");
  std::fseek(g, 0, SEEK_END);
  if (std::ftell(g) != static_cast<long>(size)) std::abort();
  std::fclose(g);
  return 0;
}
