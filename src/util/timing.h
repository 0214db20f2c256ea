#pragma once
// Elapsed time on the seconds-since-midnight clock, and a wait that keeps the
// user interface alive.

#include <functional>

#include "util/clock.h"

namespace varn {

// "Handle pending window messages": the window passes its event loop, the
// headless runner and the tests pass their own hook.
using MessagePump = std::function<void()>;

// Seconds since `start` (seconds since midnight), across midnight. A start up
// to one second in the future reads as 0 (clock jitter).
float ElapsedSec(float start, const Clock& clock);
// The same in double precision, for a start kept to the millisecond.
double ElapsedSince(double start, const Clock& clock);

// Waits `milliseconds` while calling `pump` over and over; with 0 or less it
// pumps once. sleepMs > 0 sleeps between pumps.
void WaitWithEvents(int milliseconds, int sleepMs, const Clock& clock, const MessagePump& pump);

// The clock reading clamped to [0, 86399.999], as every timing rule uses it.
double ClampedTimeOfDay(const Clock& clock);

}  // namespace varn
