#pragma once
// The thread that keeps the archive within its bounds: retention and the
// free-space guard (archive_sweep.h). It is a thread of its own, not a job
// of the archive worker: listing months of files (each one's length read
// from its header) and deleting them can take seconds on a slow disk, and
// the worker's lanes hold only kArchiveLaneSeconds of audio.
//
// The program's thread decides when (start-up, the top of every hour, every
// minute, before every new file): it fills the rules, publishes them and
// asks for a sweep; it never waits. The sweeper reads the holds file again
// when it changed, lists the chN folders, deletes, and hands back a report
// per sweep through a ring and the archive's figures (for the metrics)
// through a triple buffer.
//
// The same thread writes the checksums of files that closed
// (ArchiveChecksum): hashing eight hour-long WAV files at the top of the
// hour takes longer than the archive worker's lanes could wait. The
// program hands a closed file to its ArchiveCommand only once its sum is
// written, so what is shipped off the machine has its sum beside it.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive_holds.h"
#include "archive/archive_sweep.h"
#include "archive/disk_space.h"
#include "ops/triple_buffer.h"
#include "util/spsc_ring.h"
#include "util/thread_role.h"

namespace varn {

// The archive's size per channel and the free space, after the last sweep.
struct ArchiveFigures {
  struct Channel {
    uint64_t bytes = 0;
    uint64_t files = 0;
    double oldest = 0.0;  // Unix seconds of the oldest file's start; 0: none
  };
  bool known = false;  // false before the first sweep
  std::array<Channel, kSweepChannels> channels{};
  bool freeKnown = false;
  uint64_t freeBytes = 0;
};

// A file's .sha256 written (error empty) or not.
struct ChecksumDone {
  int channel = -1;
  std::string path;
  std::string error;
};

// A sweep's report, with the diagnostics lines of the sweeper itself (a
// broken holds file, a free-space setting cut to half the file system), or
// the sums written (sweep false).
struct SweepOutcome {
  bool sweep = true;
  SweepReport report;
  std::vector<std::string> notes;
  std::vector<ChecksumDone> sums;
};

enum SweepKinds : unsigned { kSweepRetention = 1, kSweepSpace = 2 };

class ArchiveSweeper {
 public:
  // `list(dataFolder)`: every archive file the program made in the chN
  // folders. `readSpace`: the free space (ReadDiskSpace, or a fake).
  using Lister = std::function<std::vector<SweepFile>(const std::string& dataFolder)>;
  ArchiveSweeper(Lister list, DiskSpaceReader readSpace);
  // Ends the thread after the sweep it is doing.
  ~ArchiveSweeper();
  // Asks the thread to end after the file or sweep it is at and waits up
  // to `seconds` for it; false when it still works (a disk that does not
  // answer): the owner then keeps this object until the process ends.
  bool Finish(double seconds);
  ArchiveSweeper(const ArchiveSweeper&) = delete;
  ArchiveSweeper& operator=(const ArchiveSweeper&) = delete;

  // Starts the thread. Without it (tests) RunPending does the sweeps.
  void Start();
  bool Threaded() const { return thread_.joinable(); }

  // ---- the program's thread
  // The rules the next request publishes; the program fills them afresh.
  SweepRules& Rules() VARN_PROGRAM_THREAD { return rules_.Back(); }
  // Publishes Rules() and asks for the sweeps `kinds` (kSweepRetention,
  // kSweepSpace); returns at once.
  void Request(unsigned kinds) VARN_PROGRAM_THREAD;
  // The next report, oldest first; false when there is none.
  bool TakeOutcome(SweepOutcome& out) VARN_PROGRAM_THREAD;
  // Queues a closed file for its .sha256; false when the queue is full.
  bool QueueChecksum(int ch, const std::string& path) VARN_PROGRAM_THREAD;
  // The newest figures.
  const ArchiveFigures& Figures() VARN_PROGRAM_THREAD { return figures_.Read(); }
  // Without a thread: does what was asked for now.
  void RunPending() VARN_PROGRAM_THREAD;
  // No sweep asked for or going (tests).
  bool Idle() const;

 private:
  void Run();
  void Wake();
  void Sweep(unsigned kinds) VARN_SWEEP_THREAD;
  // Writes the sums queued; true when there were any.
  bool WriteSums() VARN_SWEEP_THREAD;
  void Deliver() VARN_SWEEP_THREAD;
  // The holds file as last read, again when it changed on disk.
  const HoldsFile& Holds(const std::string& dataFolder) VARN_SWEEP_THREAD;
  std::set<std::string> QueueFileKeys(const std::string& path) VARN_SWEEP_THREAD;

  Lister list_;
  DiskSpaceReader readSpace_;
  TripleBuffer<SweepRules> rules_;        // program -> sweeper
  TripleBuffer<ArchiveFigures> figures_;  // sweeper -> program
  SpscRing<SweepOutcome> outcomes_;       // sweeper -> program
  struct SumJob {
    int channel = -1;
    std::string path;
  };
  SpscRing<SumJob> sums_;  // program -> sweeper
  // The sweeper's own.
  HoldsFile holds_ VARN_SWEEP_OWNED;
  std::string holdsStamp_ VARN_SWEEP_OWNED;  // what the file looked like when read
  std::string holdsSaid_ VARN_SWEEP_OWNED;   // the broken file's message last written
  bool cappedSaid_ VARN_SWEEP_OWNED = false;
  std::deque<SweepOutcome> pending_ VARN_SWEEP_OWNED;  // reports the ring had no room for
  std::atomic<unsigned> requested_{0};
  std::atomic<bool> busy_{false};
  std::atomic<uint32_t> wake_{0};
  std::atomic<bool> quit_{false};
  std::atomic<bool> ended_{false};  // the thread has left its loop
  std::thread thread_;
};

}  // namespace varn
