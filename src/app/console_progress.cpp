#include "app/console_progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace varn {

namespace {
constexpr int kBarWidth = 40;
volatile std::sig_atomic_t gInterrupted = 0;
void OnInterrupt(int) { gInterrupted = 1; }
}  // namespace

InterruptGuard::InterruptGuard() {
  gInterrupted = 0;
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &oldInt_);
  sigaction(SIGTERM, &sa, &oldTerm_);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &oldInt_, nullptr);
  sigaction(SIGTERM, &oldTerm_, nullptr);
}

bool InterruptGuard::Interrupted() { return gInterrupted != 0; }

ProgressBar::ProgressBar() : shown_(isatty(STDERR_FILENO) == 1) {}

void ProgressBar::Show(float fraction) {
  if (!shown_) return;
  const float f = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
  const int filled = static_cast<int>(f * kBarWidth);
  const int percent = static_cast<int>(f * 100);
  // Only what changed is drawn: a caller may report thousands of times.
  if (percent == lastPercent_ && filled == lastFilled_) return;
  lastPercent_ = percent;
  lastFilled_ = filled;
  std::fprintf(stderr, "\r%3d%% [%s%s]", percent,
               std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(kBarWidth - filled), ' ').c_str());
  std::fflush(stderr);
}

void ProgressBar::Finish(bool complete) {
  if (!shown_) return;
  if (complete) Show(1.0f);
  std::fputc('\n', stderr);
}

}  // namespace varn
