#include "analysis/level_math.h"

#include <cmath>

namespace varn {

float LinearToDb(float x) {
  if (x <= 0.0f) return -110.0f;
  return static_cast<float>(20.0 * std::log(static_cast<double>(x)) / std::log(10.0));
}

float DbToLinear(float d) {
  if (d <= -110.0f) return 0.0f;
  return static_cast<float>(std::pow(10.0, static_cast<double>(d) / 20.0));
}

}  // namespace varn
