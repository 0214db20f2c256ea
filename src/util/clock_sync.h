#pragma once
// Whether the system clock is kept synchronised (NTP): the kernel's own
// flag. A logger's times are only as good as its clock.

#include <optional>

namespace varn {

// True when the kernel says the clock is synchronised, false when it says
// it is not, empty when it cannot be asked.
std::optional<bool> SystemClockSynchronised();

}  // namespace varn
