#pragma once
// Rounds to the nearest whole pixel, halves to even (the FPU's own rounding).

#include <cmath>

namespace varn {

inline int RoundEven(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace varn
