#pragma once
// Holds: time ranges of a channel's archive that must be kept as evidence,
// whatever retention or the free-space guard would do. They live in one
// small text file in the data folder, written by `varn archive hold` and
// `release` and read by the running monitor before each sweep.
//
// The file: a first line naming it, then one hold a line, its fields
// separated by tabs: ID, 1-based channel, from and to (Unix seconds), when
// it was made (Unix seconds) and the reason (tabs and line ends in it become
// blanks). A file that cannot be read as a whole is broken: the sweeps then
// delete nothing, since what it holds cannot be told.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varn {

inline constexpr std::string_view kHoldsFileName = "archive_holds.txt";
inline constexpr std::string_view kHoldsFileHeader = "# varn archive holds v1";

struct ArchiveHold {
  uint32_t id = 0;
  int channel = 0;   // 0-based
  int64_t from = 0;  // Unix seconds
  int64_t to = 0;    // Unix seconds, after from
  int64_t made = 0;  // Unix seconds
  std::string reason;
  bool operator==(const ArchiveHold&) const = default;
};

struct HoldsFile {
  bool ok = true;     // false: the file exists and is broken
  std::string error;  // why, naming the file and the line
  std::vector<ArchiveHold> holds;
};

// The holds file of a data folder.
std::string HoldsFilePath(std::string_view dataFolder);

// A missing file has no holds and is fine.
HoldsFile ReadHoldsFile(const std::string& path);
HoldsFile ParseHolds(std::string_view text, std::string_view name);
std::string FormatHolds(const std::vector<ArchiveHold>& holds);
// Replaces the file atomically: "" when written, else why not.
std::string WriteHoldsFile(const std::string& path, const std::vector<ArchiveHold>& holds);

// The ID a new hold gets: one past the highest in use.
uint32_t NextHoldId(const std::vector<ArchiveHold>& holds);

// Whether any hold keeps channel ch's audio from `start` to `end` (Unix
// seconds): a hold keeps every file that overlaps its range.
bool Held(const std::vector<ArchiveHold>& holds, int ch, double start, double end);

}  // namespace varn
