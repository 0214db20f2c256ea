#include "audio/gain_copy.h"

#include <algorithm>

namespace varn {

void GainCopy(const int16_t* source, int16_t* target, size_t samples, float gain) {
  if (gain == 1.0f) {
    // The usual case, 0 dB: every sample as it is, -32768 made -32767, as
    // the rule below gives; a loop the compiler turns into vector code.
    for (size_t i = 0; i < samples; ++i) target[i] = std::max<int16_t>(source[i], -32767);
    return;
  }
  double g = gain;
  if (!(g >= 0.0)) g = 0.0;
  // Beyond this every non-zero sample saturates anyway; the cap keeps an
  // infinite gain from turning silence into NaN.
  if (g > 65536.0) g = 65536.0;
  // Adding and taking away 1.5 * 2^52 rounds to an integer, halves to even,
  // in the default rounding mode. The product of a 16-bit sample and a
  // single-precision gain is exact in double, so only that rounding happens.
  constexpr double kRound = 6755399441055744.0;
  for (size_t i = 0; i < samples; ++i) {
    double w = (source[i] * g + kRound) - kRound;
    if (w > 32766.0) w = 32767.0;
    if (w < -32766.0) w = -32767.0;
    target[i] = static_cast<int16_t>(w);
  }
}

}  // namespace varn
