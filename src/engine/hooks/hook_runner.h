#pragma once
// Runs hook programs on a thread of its own, so no tick ever waits for one.
// Event runs: at most four at once, up to sixteen more waiting, and runs
// that share a serial key one after another in the order given. Archive
// runs have a lane of their own: at most two at once, never pushed out by
// event runs. A run that takes longer than its time-out is ended (its whole
// process group); failures, what a run printed and which archive runs ended
// are handed back to the program's thread.
//
// Every program starts from an argument list, never through a shell, in a
// process group of its own, with standard input from /dev/null, standard
// output and error into a pipe this thread reads without blocking (the
// first kHookOutputLimit bytes are kept), no other descriptor open, every
// signal at its default, normal scheduling priority and the environment
// less what a service manager gives varn alone (NOTIFY_*, WATCHDOG_*).

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "util/spsc_ring.h"

namespace varn {

inline constexpr size_t kHooksAtOnce = 4;
inline constexpr size_t kHooksWaiting = 16;
inline constexpr size_t kArchiveHooksAtOnce = 2;
// What a run may write to standard output and error that reaches the
// diagnostics file; the rest is counted.
inline constexpr size_t kHookOutputLimit = 4096;

struct HookRun {
  std::string what;               // "EventCommand", "ArchiveCommand": for reports
  std::vector<std::string> argv;  // the program first
  std::vector<std::string> env;   // "NAME=value" set on top of the inherited environment
  // Event runs with the same non-empty key never overlap and start in the
  // order they were given, so the last one given is the last one run.
  std::string serial;
  uint64_t id = 0;  // archive runs: named again by TakeEnded
};

// A run that did not end well: "exit status 2", "timed out after 30 s",
// "cannot start /usr/bin/x: No such file or directory", "killed by signal 9".
struct HookFailure {
  std::string what;
  std::string cause;
};

// What a run wrote to standard output and error: the first
// kHookOutputLimit bytes, and how many more there were.
struct HookOutput {
  std::string what;
  std::string text;
  uint64_t cutBytes = 0;
};

// The environment a hook starts with: `inherited` ("NAME=value" entries)
// less NOTIFY_* and WATCHDOG_* (the service manager's words to varn alone),
// then `extra` on top. Sorted by name.
std::vector<std::string> HookEnvironment(const std::vector<std::string>& inherited,
                                         const std::vector<std::string>& extra);

class HookRunner {
 public:
  explicit HookRunner(double timeoutSec);
  // Ends the runs still going (they were waited for before, if at all).
  ~HookRunner();
  HookRunner(const HookRunner&) = delete;
  HookRunner& operator=(const HookRunner&) = delete;

  // ---- the program's thread
  // Queues an event run; false (nothing queued) when sixteen wait already.
  bool Submit(HookRun run);
  // Queues an archive run; false when kArchiveHooksAtOnce are queued and
  // not yet started (the caller keeps the rest).
  bool SubmitArchive(HookRun run);
  void SetTimeout(double seconds) { timeoutSec_.store(seconds, std::memory_order_relaxed); }
  // The failures since the last call.
  std::vector<HookFailure> TakeFailures();
  // The output of the runs ended since the last call (runs that printed
  // nothing are left out), and how many runs' output found no room.
  std::vector<HookOutput> TakeOutputs(uint64_t* lost = nullptr);
  // The ids of the archive runs ended since the last call, however they ended.
  std::vector<uint64_t> TakeEnded();
  // Whether every run submitted so far has ended.
  bool Idle() const {
    return finished_.load(std::memory_order_acquire) >= submitted_.load(std::memory_order_acquire);
  }
  // Waits until every run submitted so far has ended, at most `seconds`;
  // true when they have.
  bool WaitIdle(double seconds);
  uint64_t Finished() const { return finished_.load(std::memory_order_acquire); }

 private:
  struct Running {
    int pid = -1;
    std::string what;
    bool archive = false;
    uint64_t id = 0;
    std::string serial;
    int output = -1;  // the read end of the run's pipe; -1 once it ended
    std::string kept;
    uint64_t cut = 0;
    double started = 0.0;
    double terminated = -1.0;  // when SIGTERM went, -1 before
  };
  void Run();
  void StartWaiting();
  // False when the run never got going (it has been counted as ended).
  bool Start(HookRun& run, bool archive);
  size_t RunningIn(bool archive) const;
  bool SerialBusy(const std::string& serial) const;
  void ReadOutput(Running& r);
  void WaitForOutput();
  void Reap();
  void End(Running& r);
  void EndLateRuns();
  void Fail(const std::string& what, std::string cause);

  // The environment varn started with, taken on the program's thread.
  const std::vector<std::string> inherited_;
  // The nice value hooks start at (the runner's thread takes it on, and a
  // child keeps its parent thread's).
  const int childNice_;
  SpscRing<HookRun> waiting_;
  SpscRing<HookRun> archiveWaiting_;
  SpscRing<HookFailure> failures_;
  SpscRing<HookOutput> outputs_;
  SpscRing<uint64_t> ended_;
  std::atomic<double> timeoutSec_;
  std::atomic<size_t> eventsWaiting_{0};  // given and not yet started, held ones too
  std::atomic<uint64_t> submitted_{0};
  std::atomic<uint64_t> finished_{0};
  std::atomic<uint64_t> outputsLost_{0};
  std::atomic<uint32_t> work_{0};
  std::atomic<bool> quit_{false};
  // The runner's thread's own.
  std::vector<Running> running_;
  std::deque<HookRun> held_;  // event runs waiting for a run with their key
  std::thread thread_;
};

}  // namespace varn
