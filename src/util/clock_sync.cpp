#include "util/clock_sync.h"

#include <sys/timex.h>

namespace varn {

std::optional<bool> SystemClockSynchronised() {
  timex tx{};  // modes 0: read only
  const int state = adjtimex(&tx);
  if (state < 0) return std::nullopt;
  return state != TIME_ERROR && (tx.status & STA_UNSYNC) == 0;
}

}  // namespace varn
