#pragma once
// Rounding and saturation as the program uses them everywhere: real to
// integer conversions round to nearest with halves to even.

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace varn {

// Round to nearest, halves to even (the default IEEE rounding mode).
inline double RoundHalfEven(double x) { return std::nearbyint(x); }

// Rounded to a 32-bit integer; nullopt when the value does not fit (an
// overflow the caller must treat as a conversion error).
inline std::optional<int32_t> ToInt32(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  const double r = RoundHalfEven(x);
  if (r < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      r > static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::nullopt;
  return static_cast<int32_t>(r);
}

inline std::optional<int16_t> ToInt16(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  const double r = RoundHalfEven(x);
  if (r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<int16_t>(r);
}

// Rounded and clamped to the 32-bit range (for values that cannot fail).
inline int32_t RoundToInt32(double x) {
  if (std::isnan(x)) return 0;
  const double r = RoundHalfEven(x);
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(r);
}

}  // namespace varn
