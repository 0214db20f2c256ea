#include "util/timing.h"

#include <chrono>
#include <thread>

namespace varn {

double ClampedTimeOfDay(const Clock& clock) {
  double now = clock.SecondsSinceMidnight();
  if (now >= 86399.999) now = 86399.999;
  if (now < 0) now = 0;
  return now;
}

double ElapsedSince(double start, const Clock& clock) {
  double d = ClampedTimeOfDay(clock) - start;
  if (d < 0) d = (d >= -1.0) ? 0.0 : d + 86400.0;
  return d;
}

float ElapsedSec(float start, const Clock& clock) {
  return static_cast<float>(ElapsedSince(start, clock));
}

void WaitWithEvents(int milliseconds, int sleepMs, const Clock& clock, const MessagePump& pump) {
  if (milliseconds <= 0) {
    if (pump) pump();
    return;
  }
  const double start = ClampedTimeOfDay(clock);
  const double limit = milliseconds / 1000.0;
  for (;;) {
    if (pump) pump();
    const double now = ClampedTimeOfDay(clock);
    double elapsed = now - start;
    if (now < start) elapsed += 86400.0;
    if (elapsed > limit) return;
    if (sleepMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    else
      std::this_thread::yield();
  }
}

}  // namespace varn
