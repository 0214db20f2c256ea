// The recording reader (OpenPcmFile: WAV of 8, 16 or 24 bits, MPEG audio
// through the decoder) on arbitrary bytes, as `varn analyze` and the "Sim
// File" devices meet a file. It must end, keep its promises about frame
// counts, stay at the end once there, and give the same samples again after
// a rewind (the devices play files in a loop).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/pcm_file.h"
#include "temp_folder.h"

namespace {

struct Pass {
  bool clean = false;  // ended with 0 (the end), not -1 (an error)
  int64_t frames = 0;
  uint64_t hash = 1469598103934665603ull;
};

// Reads until the end or an error in requests that cycle through `sizes`,
// stopping after `limit` frames (the reader must not give more).
Pass ReadAll(varn::PcmFileReader& reader, int channels, const std::vector<int64_t>& sizes,
             int64_t limit) {
  Pass p;
  std::vector<int16_t> buffer;
  for (size_t call = 0;; ++call) {
    const int64_t want = sizes[call % sizes.size()];
    // One guard sample past the request shows a reader writing too far.
    buffer.assign(static_cast<size_t>(want * channels + 1), 0x5A5A);
    const int64_t got = reader.Read(buffer.data(), want);
    if (got < -1 || got > want || buffer.back() != 0x5A5A) std::abort();
    if (got == -1) return p;
    if (got == 0) {
      // At the end it stays at the end.
      if (reader.Read(buffer.data(), want) != 0) std::abort();
      p.clean = true;
      return p;
    }
    for (int64_t i = 0; i < got * channels; ++i)
      p.hash = (p.hash ^ static_cast<uint16_t>(buffer[static_cast<size_t>(i)])) * 1099511628211ull;
    p.frames += got;
    if (p.frames > limit) std::abort();
  }
}

void Exercise(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::string error;
  const std::unique_ptr<varn::PcmFileReader> reader = varn::OpenPcmFile(path, &error);
  if (!reader) {
    if (error.empty()) std::abort();  // a refusal always says why
    return;
  }
  const int32_t rate = reader->SampleRate();
  const int32_t channels = reader->Channels();
  if (rate <= 0 || channels < 1 || channels > 8) std::abort();
  // A WAV sample takes at least a byte; an MPEG frame of 1152 samples at
  // least a few bytes, so this bound is loose for MPEG and only stops a
  // reader that never ends.
  const bool riff = size >= 4 && std::memcmp(data, "RIFF", 4) == 0;
  const auto n = static_cast<int64_t>(size);
  const int64_t limit = riff ? n / channels : 1152 * (n + 16);

  // A short look, then back to the start and two full passes in different
  // request sizes: the samples must not depend on how they are asked for.
  std::vector<int16_t> peek(static_cast<size_t>(100 * channels));
  if (reader->Read(peek.data(), 100) < -1) std::abort();
  if (!reader->Rewind()) return;
  const Pass first = ReadAll(*reader, channels, {1, 577, 4096, 3}, limit);
  if (!reader->Rewind()) return;
  const Pass second = ReadAll(*reader, channels, {4096, 1000}, limit);
  // The frames must agree for every file. The samples must agree for WAV;
  // the MP3 decoder may fill a damaged frame from memory it never set, so
  // a broken MP3 file's samples can differ from one pass to the next.
  if (first.clean && second.clean &&
      (first.frames != second.frames || (riff && first.hash != second.hash)))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string base = varn::fuzz::TempFolder() + "input";
  // The reader goes by the first bytes, and by the name only when they are
  // neither "RIFF" nor MPEG-like: try both names exactly when they differ.
  const bool riff = size >= 4 && std::memcmp(data, "RIFF", 4) == 0;
  const bool mpegLike = (size >= 3 && std::memcmp(data, "ID3", 3) == 0) ||
                        (size >= 2 && data[0] == 0xFF && (data[1] & 0xE0) == 0xE0);
  if (!mpegLike) Exercise(base + ".wav", data, size);
  if (!riff) Exercise(base + ".mp3", data, size);
  return 0;
}
