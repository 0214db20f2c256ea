#pragma once
// The program's side of keeping the archive: it reads the keeping settings,
// decides when the sweeper works (start-up and every top of the hour for
// retention; every minute and before every new file for the free space),
// tells it which files are still being written or queued for
// ArchiveCommand, and writes what it reports: the event line of each sweep
// that deleted something ("アーカイブ削除 N件 X.X GB"), a diagnostics line
// per file, a file that cannot be deleted once a day, and "ディスク容量不足"
// once each time the space runs short with nothing left to delete.
//
// With ArchiveChecksum a closed file goes to the sweeper for its .sha256
// first and to ArchiveCommand once the sum is written.

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/archive_sweeper.h"
#include "util/clock.h"
#include "util/thread_role.h"

namespace varn {

class EventLog;

// How long the end of the program waits for a sweep or a sum going on.
inline constexpr double kSweepFinishSec = 1.0;

// Diagnostics lines of deleted files written per tick at most.
inline constexpr size_t kLinesPerTick = 64;

// The keeping settings as the program uses them.
struct KeepingSettings {
  std::array<int, kSweepChannels> keepDays{};  // ArchiveKeepDays_N, else ArchiveKeepDays
  uint64_t minFreeMB = 0;                      // ArchiveMinFreeMB
  bool checksum = false;                       // ArchiveChecksum
};
KeepingSettings ReadKeepingSettings();

class ArchiveKeeping {
 public:
  struct Options {
    std::string dataFolder;
    const Clock* clock = nullptr;
    EventLog* log = nullptr;
    ArchiveSweeper::Lister list;  // the archive listing (the catalogue)
    DiskSpaceReader readSpace;    // null: ReadDiskSpace
    bool thread = true;           // false: each Tick does the sweeper's work (tests)
  };
  explicit ArchiveKeeping(Options options);
  // Gives a sweep still going kSweepFinishSec to end; one that does not (a
  // disk that does not answer) is left to the end of the process.
  ~ArchiveKeeping();
  ArchiveKeeping(const ArchiveKeeping&) = delete;
  ArchiveKeeping& operator=(const ArchiveKeeping&) = delete;

  void Configure(const KeepingSettings& settings) VARN_PROGRAM_THREAD;
  const KeepingSettings& Settings() const { return settings_; }

  // A file begun and a file closed by the archive worker. FileFinished
  // returns false when the file waits for its sum: `toHook` gets it later.
  void FileBegun(int ch, const std::string& path) VARN_PROGRAM_THREAD;
  bool FileFinished(int ch, const std::string& path) VARN_PROGRAM_THREAD;

  // Asks for sweeps now (kSweepRetention, kSweepSpace), with the files
  // still queued for ArchiveCommand.
  void Request(unsigned kinds, const std::vector<std::string>& queued) VARN_PROGRAM_THREAD;
  // Once a second: the top of the hour and every minute ask for a sweep.
  void EverySecond(const ClockReading& now,
                   const std::vector<std::string>& queued) VARN_PROGRAM_THREAD;
  // Each tick: writes what the sweeper reported; each file whose sum is
  // done goes to `toHook`.
  void Report(const std::function<void(int, const std::string&)>& toHook) VARN_PROGRAM_THREAD;

  // The files still waiting for their sums (the end of the program).
  std::vector<std::pair<int, std::string>> Unsummed() const VARN_PROGRAM_THREAD;
  // Space is short and nothing is left to delete (from any thread).
  bool DiskLow() const { return diskLow_.load(std::memory_order_relaxed); }
  // The archive's figures as the last sweep found them (taken each Report).
  const ArchiveFigures& Figures() const { return figures_; }
  // Files deleted since the program started, per channel and reason.
  uint64_t Deleted(int ch, SweepReason reason) const;
  // Nothing asked of the sweeper is still to be done (tests).
  bool Idle() const { return sweeper_->Idle(); }

 private:
  // An outcome taken: the sums go to the hook, the counts are kept.
  void Begin(SweepOutcome& outcome,
             const std::function<void(int, const std::string&)>& toHook) VARN_PROGRAM_THREAD;
  // Its lines, at most `budget` more; true when it is done.
  bool Continue(const SweepOutcome& outcome, size_t& budget) VARN_PROGRAM_THREAD;

  Options o_;
  KeepingSettings settings_ VARN_PROGRAM_OWNED;
  std::unique_ptr<ArchiveSweeper> sweeper_;
  std::array<std::string, kSweepChannels> writing_ VARN_PROGRAM_OWNED;  // each channel's open file
  std::map<std::string, int> summing_ VARN_PROGRAM_OWNED;  // closed, waiting for the sum: channel
  int lastMinute_ VARN_PROGRAM_OWNED = -1;
  int lastHour_ VARN_PROGRAM_OWNED = -1;
  std::map<std::string, std::string> failureSaid_ VARN_PROGRAM_OWNED;  // path -> day written
  std::array<std::array<uint64_t, 2>, kSweepChannels> deleted_{};      // the program's
  bool diskLowSaid_ VARN_PROGRAM_OWNED = false;
  ArchiveFigures figures_;
  std::optional<SweepOutcome> current_ VARN_PROGRAM_OWNED;  // being written
  size_t nextLine_ VARN_PROGRAM_OWNED = 0;
  std::atomic<bool> diskLow_{false};
};

}  // namespace varn
