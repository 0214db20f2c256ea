#pragma once
// What the long-running commands share on a terminal: a progress bar on
// standard error (only when it is a terminal), and Ctrl-C or SIGTERM asking
// the work to stop at its next piece, so a half-written target is removed
// instead of left behind.

#include <csignal>

namespace varn {

// The exit status of a command stopped by Ctrl-C, as a shell reports it.
inline constexpr int kExitCanceled = 130;

// Catches SIGINT and SIGTERM while it lives; Interrupted() tells whether one came.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
  static bool Interrupted();

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

class ProgressBar {
 public:
  ProgressBar();
  void Show(float fraction);
  void Finish(bool complete);
  bool Shown() const { return shown_; }

 private:
  bool shown_;
  int lastPercent_ = -1;
  int lastFilled_ = -1;
};

}  // namespace varn
