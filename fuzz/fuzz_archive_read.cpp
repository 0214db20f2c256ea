// The archive reader's parsers on arbitrary input: an archive file's frames
// (counted, and walked the way an extract copies them) and a time as the
// commands read it. They must end, and what they accept must hold together.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/archive_catalog.h"
#include "archive/archive_time.h"
#include "archive/file_access.h"
#include "archive/mpeg_frames.h"
#include "temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto n = static_cast<int64_t>(size);
  // Short inputs are times; a time read back must read as the same instant.
  if (size < 48) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const varn::ArchiveTimeRead r = varn::ReadArchiveTime(text);
    if (r.error.empty() &&
        varn::ReadArchiveTime(varn::WriteUtcTime(r.epochMs)).epochMs != r.epochMs / 1000 * 1000)
      std::abort();
    varn::IsArchiveFileName(text);
    return 0;
  }
  static const std::string path = varn::fuzz::TempFolder() + "20261206100000.mp3";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const varn::OpenFile file = varn::OpenForReading(path);
  int64_t last = -1;
  const varn::MpegFrameWalk walk = varn::WalkMpegFrames(file, [&](int64_t at, int32_t bytes) {
    // Frames follow one another inside the file.
    if (at <= last || bytes <= 0 || at + bytes > n || data[at] != 0xFF) std::abort();
    last = at;
    return true;
  });
  const varn::MpegFrameWalk count = varn::CountMpegFrames(file);
  for (const auto* w : {&walk, &count})
    if (w->frames < 0 || w->end > n || (w->frames > 0 && (w->firstAudio < 0 || w->firstAudio >= n)))
      std::abort();
  varn::ArchiveFileEntry entry;
  entry.path = path;
  entry.kind = varn::ArchiveKind::Mp3;
  varn::MeasureArchiveFile(entry);
  if (entry.frames < 0 || entry.size != n) std::abort();
  return 0;
}
