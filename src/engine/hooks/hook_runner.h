#pragma once
// Runs hook programs on a thread of its own, so no tick ever waits for one:
// at most four at once, up to sixteen more waiting, a run that takes longer
// than its time-out ended (its whole process group), every failure handed
// back to the program's thread. Programs are started from an argument list,
// never through a shell, in a process group of their own.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "util/spsc_ring.h"

namespace varn {

inline constexpr size_t kHooksAtOnce = 4;
inline constexpr size_t kHooksWaiting = 16;

struct HookRun {
  std::string what;               // "EventCommand", "ArchiveCommand": for reports
  std::vector<std::string> argv;  // the program first
  std::vector<std::string> env;   // "NAME=value" set on top of the inherited environment
};

// A run that did not end well: "exit status 2", "timed out after 30 s",
// "cannot start /usr/bin/x: No such file or directory", "killed by signal 9".
struct HookFailure {
  std::string what;
  std::string cause;
};

class HookRunner {
 public:
  explicit HookRunner(double timeoutSec);
  // Ends the runs still going (they were waited for before, if at all).
  ~HookRunner();
  HookRunner(const HookRunner&) = delete;
  HookRunner& operator=(const HookRunner&) = delete;

  // ---- the program's thread
  // Queues a run; false (nothing queued) when sixteen wait already.
  bool Submit(HookRun run);
  void SetTimeout(double seconds) { timeoutSec_.store(seconds, std::memory_order_relaxed); }
  // The failures since the last call.
  std::vector<HookFailure> TakeFailures();
  // Waits until every run submitted so far has ended, at most `seconds`;
  // true when they have.
  bool WaitIdle(double seconds);
  uint64_t Finished() const { return finished_.load(std::memory_order_acquire); }

 private:
  struct Running {
    int pid = -1;
    std::string what;
    double started = 0.0;
    double terminated = -1.0;  // when SIGTERM went, -1 before
  };
  void Run();
  void Start(HookRun& run);
  void Reap();
  void EndLateRuns();
  void Fail(const std::string& what, std::string cause);

  SpscRing<HookRun> waiting_;
  SpscRing<HookFailure> failures_;
  std::atomic<double> timeoutSec_;
  std::atomic<uint64_t> submitted_{0};
  std::atomic<uint64_t> finished_{0};
  std::atomic<uint32_t> work_{0};
  std::atomic<bool> quit_{false};
  std::vector<Running> running_;  // the thread's own
  std::thread thread_;
};

}  // namespace varn
