#include "util/process_priority.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace varn {

namespace {
// As far up as an ordinary service would go: above desktop programs, below
// the sound server's real-time threads.
constexpr int kHighNice = -10;
constexpr int kNotRaised = 1000;
std::atomic<int> gNiceBeforeRaise{kNotRaised};

// getpriority answers -1 both for nice -1 and for a failure.
int CurrentNice() {
  errno = 0;
  const int now = getpriority(PRIO_PROCESS, 0);
  return errno == 0 ? now : 0;
}
}  // namespace

void RaiseProcessPriority() {
  const int now = CurrentNice();
  int expected = kNotRaised;
  gNiceBeforeRaise.compare_exchange_strong(expected, now);
  if (now > kHighNice) (void)setpriority(PRIO_PROCESS, 0, kHighNice);
}

int ChildNiceValue() {
  const int before = gNiceBeforeRaise.load();
  return std::max(0, before == kNotRaised ? CurrentNice() : before);
}

}  // namespace varn
