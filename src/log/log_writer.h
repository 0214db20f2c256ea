#pragma once
// The thread that writes the event and diagnostics lines (and the few small
// files that go with them), so the program's thread never waits for a disk:
// it formats a line, shows it at once (the log window, standard output) and
// queues the append here. Lines reach their files in the order they were
// queued. A full disk keeps them queued and tried again; nothing is dropped
// unless the queue outgrows kLogBacklogLimit, and then the count is noted.

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "util/spsc_ring.h"
#include "util/thread_role.h"

namespace varn {

// Lines held for a disk that takes none, beyond those in the ring.
inline constexpr size_t kLogBacklogLimit = 100000;
// How often a write that failed for want of space is tried again.
inline constexpr double kLogRetrySec = 1.0;

class LogFileWriter {
 public:
  LogFileWriter();
  // Finish with a generous budget (a writer nobody finished).
  ~LogFileWriter();
  LogFileWriter(const LogFileWriter&) = delete;
  LogFileWriter& operator=(const LogFileWriter&) = delete;

  // ---- the program's thread; none of these waits
  // Appends `text` to `path`, making `folder` first when it is missing.
  void Append(std::string folder, std::string path, std::string text) VARN_PROGRAM_THREAD;
  // Replaces the whole of `path` with `text`; `ownerOnly` makes it (and
  // keeps it) readable and writable by its owner alone, and never follows
  // a symbolic link.
  void Replace(std::string path, std::string text, bool ownerOnly = false) VARN_PROGRAM_THREAD;
  // Removes `path`.
  void Remove(std::string path) VARN_PROGRAM_THREAD;
  // Waits at most `seconds` until everything queued so far is done (tests).
  bool WaitIdle(double seconds) VARN_PROGRAM_THREAD;
  // The end of the program: writes out what is queued for at most
  // `seconds` and ends the thread. False when the disk did not take it all
  // in time; the thread is then left to the end of the process, and
  // Backlog says what it still holds.
  bool Finish(double seconds) VARN_PROGRAM_THREAD;
  std::vector<std::string> Backlog() const VARN_PROGRAM_THREAD;
  // Lines dropped because the queue outgrew its limit.
  uint64_t Dropped() const VARN_PROGRAM_THREAD { return dropped_; }
  // Items given up because their file can never be written (no such
  // folder, no permission); Backlog names the system's reason.
  uint64_t Lost() const { return lost_.load(std::memory_order_acquire); }

 private:
  enum class Kind : uint8_t { Append, Replace, ReplaceOwnerOnly, Remove };
  struct Item {
    Kind kind = Kind::Append;
    std::string folder;
    std::string path;
    std::string text;
  };
  void Queue(Item item) VARN_PROGRAM_THREAD;
  void Feed() VARN_PROGRAM_THREAD;
  bool Idle() const VARN_PROGRAM_THREAD;
  void Run() VARN_LOG_THREAD;
  // Does one item; false when it must be tried again later (no space).
  bool Do(const Item& item) VARN_LOG_THREAD;

  SpscRing<Item> ring_;
  std::deque<Item> waiting_ VARN_PROGRAM_OWNED;  // what the ring could not take yet
  uint64_t queued_ VARN_PROGRAM_OWNED = 0;       // items handed to the ring
  uint64_t dropped_ VARN_PROGRAM_OWNED = 0;
  std::atomic<uint64_t> done_{0};
  std::atomic<uint64_t> lost_{0};
  std::atomic<int> lastError_{0};  // errno of the last failed write, 0 for none
  std::atomic<uint32_t> work_{0};
  std::atomic<bool> quit_{false};
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

}  // namespace varn
