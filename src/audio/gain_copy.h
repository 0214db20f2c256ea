#pragma once
// The gain-adjusted copy of a capture block that the archive receives.

#include <cstddef>
#include <cstdint>

namespace varn {

// Every sample times `gain`, rounded halves to even, and a magnitude above
// 32766 saturated to 32767 (so -32768 becomes -32767 even at 0 dB). A NaN
// gain gives silence.
void GainCopy(const int16_t* source, int16_t* target, size_t samples, float gain);

}  // namespace varn
