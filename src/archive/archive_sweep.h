#pragma once
// What the archive sweeps delete. Retention: a channel's files whose end
// (the start in the name plus the file's own length) is older than its kept
// days. The free-space guard: while the data folder's file system has less
// free space than ArchiveMinFreeMB, the oldest files of every channel,
// never one of the current hour; files still queued for ArchiveCommand only
// when nothing else is left.
//
// Neither ever deletes a file still being written or one that overlaps a
// hold, and while the holds file is broken they delete nothing at all. The
// deciding is here, as plain functions over a listing; the sweeper thread
// lists, deletes and reports.

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_holds.h"
#include "archive/disk_space.h"

namespace varn {

inline constexpr int kSweepChannels = 8;
inline constexpr double kSecondsPerDay = 86400.0;

// One archive file the program made.
struct SweepFile {
  std::string path;
  int channel = 0;     // 0-based
  double start = 0.0;  // Unix seconds, from the name
  double end = 0.0;    // start plus the file's own length
  uint64_t bytes = 0;
};

enum class SweepReason { Retention, Space };
std::string_view SweepReasonName(SweepReason reason);  // "retention", "space"

// What the program's thread publishes for a sweep.
struct SweepRules {
  std::string dataFolder;
  std::array<int, kSweepChannels> keepDays{};  // per channel, as used; 0 keeps everything
  uint64_t minFreeMB = 0;                      // 0: the guard is off
  double now = 0.0;                            // Unix seconds
  double hourStart = 0.0;                      // Unix seconds of the current local hour's top
  // Files still being written, and files still queued for ArchiveCommand,
  // as SweepKey gives them.
  std::set<std::string> open;
  std::set<std::string> queued;
};

// A path as the sweeps compare it: its channel folder and name ("ch2/x.wav"),
// so the hook's paths and the listing's agree whatever way the data folder
// was written.
std::string SweepKey(std::string_view path);

struct SweepGuard {
  bool holdsOk = true;
  std::vector<ArchiveHold> holds;
};

// Retention's files, oldest first.
std::vector<const SweepFile*> RetentionVictims(const std::vector<SweepFile>& files,
                                               const SweepRules& rules, const SweepGuard& guard);

// The free-space guard's candidates in the order it takes them: oldest
// first, then the queued ones, oldest first.
struct SpaceOrder {
  std::vector<const SweepFile*> first;
  std::vector<const SweepFile*> queuedLast;
};
SpaceOrder SpaceCandidates(const std::vector<SweepFile>& files, const SweepRules& rules,
                           const SweepGuard& guard);

// A file deleted, or one that could not be.
struct SweepDeletion {
  std::string path;
  int channel = 0;
  uint64_t bytes = 0;
  bool queued = false;  // it was still queued for ArchiveCommand
};
struct SweepFailure {
  std::string path;
  std::string reason;
};

// What one sweep did, for the program's thread.
struct SweepReport {
  SweepReason reason = SweepReason::Retention;
  std::vector<SweepDeletion> deleted;
  std::vector<SweepFailure> failed;
  // The guard: whether space is short with nothing left to delete (only
  // meaningful when spaceChecked).
  bool spaceChecked = false;
  bool diskLow = false;
};

// Deletes `victims` (and each one's .sha256 beside it).
void DeleteForRetention(const std::vector<const SweepFile*>& victims, SweepReport& report);

// Deletes candidates in order until `readSpace` says there is `minFree`
// bytes free again. Sets report.diskLow when it is still short at the end.
void DeleteForSpace(const SpaceOrder& order, uint64_t minFree, const std::string& folder,
                    const DiskSpaceReader& readSpace, SweepReport& report);

// The operator's event line of a sweep that deleted something:
// "アーカイブ削除 3件 1.2 GB".
std::string ArchiveDeletedMessage(size_t files, uint64_t bytes);

}  // namespace varn
