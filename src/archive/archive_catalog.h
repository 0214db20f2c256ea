#pragma once
// The archive as it lies in a data folder: every file the program made in
// the "chN" folders, with its start time (its name, read as local time), its
// length from its own content, its format and size, and the holes between
// consecutive files of a channel. Nothing else in those folders counts.
//
// The hour repeated when summer time ends gives two files the same name
// time. A name in that hour is placed as follows: a name that also exists
// with a "_N" suffix is the first pass and the suffixed ones the second (the
// writer adds the suffix because the name is taken); any other such name is
// the first pass unless that would overlap a file already placed there, and
// then the second.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varn {

enum class ArchiveKind { Wav, Mp3 };

struct ArchiveFileEntry {
  int channel = 0;  // 1-based, as the folder "chN" names it
  std::string path;
  std::string name;  // file name without folder
  int suffix = 0;    // N of a "_N" before the extension, else 0
  ArchiveKind kind = ArchiveKind::Wav;
  int64_t startMs = 0;        // instant of the first sample
  bool repeatedHour = false;  // the name fell in the repeated hour
  int64_t frames = 0;         // samples per channel that are really in the file
  int rate = 0;
  int channels = 0;
  int bits = 0;            // WAV
  int kbps = 0;            // MP3
  int64_t size = 0;        // bytes on disk
  int64_t dataOffset = 0;  // WAV: the first sample's byte; MP3: the first audio frame's
  std::string error;       // why the file could not be read; "" when it could

  int64_t LengthMs() const { return rate > 0 ? frames * 1000 / rate : 0; }
  int64_t EndMs() const { return startMs + LengthMs(); }
};

struct ArchiveHole {
  int channel = 0;
  int64_t startMs = 0;  // end of the file before
  int64_t endMs = 0;    // start of the file after
};

struct ArchiveCatalog {
  std::vector<ArchiveFileEntry> files;  // by channel, then start
  std::vector<ArchiveHole> holes;       // by channel, then start
  std::vector<int> channels;            // channel folders found, ascending
};

// Gaps up to this long between one file's end and the next one's start are
// the rounding of a file cut, not a hole.
inline constexpr int64_t kArchiveHoleMinMs = 500;

// True for a name the archive writer makes: YYYYMMDDhhmmss, an optional
// "_N", then ".wav" or ".mp3" (case as the writer writes it: lower).
bool IsArchiveFileName(std::string_view name);

// Only what may touch [fromMs, toMs): files named more than a day and a
// half before it or after it are not read (a file runs an hour, and a name
// is local time, at most 14 hours off UTC). The catalogue then holds every
// file and hole that overlaps the range, and more.
struct ArchiveWindow {
  int64_t fromMs = 0;
  int64_t toMs = 0;
};

// Scans `dataFolder`'s channel folders (only `channel` when given). Never
// fails: a folder that cannot be read gives no files, a file that cannot be
// read is listed with its error.
ArchiveCatalog ScanArchive(const std::string& dataFolder, std::optional<int> channel = {},
                           std::optional<ArchiveWindow> window = {});

// Reads one file's length and format into `entry` (kind and path set).
void MeasureArchiveFile(ArchiveFileEntry& entry);

// "wav 48000Hz 2ch 16bit" or "mp3 48000Hz 2ch 128kbps".
std::string ArchiveFormatText(const ArchiveFileEntry& entry);

// The files of `channel` that overlap [fromMs, toMs), and its holes there.
std::vector<ArchiveFileEntry> FilesInRange(const ArchiveCatalog& catalog, int channel,
                                           int64_t fromMs, int64_t toMs);
std::vector<ArchiveHole> HolesInRange(const ArchiveCatalog& catalog, int channel, int64_t fromMs,
                                      int64_t toMs);

}  // namespace varn
