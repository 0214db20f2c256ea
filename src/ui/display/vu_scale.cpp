#include "ui/display/vu_scale.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "analysis/level_math.h"

namespace varn {

namespace {

struct VuScale {
  std::array<float, kVuScaleSize> db{};
  std::array<float, kVuScaleSize> linear{};
};

// Each run is start + step x (p - first), the step taken in single
// precision as the meter has always been drawn.
float Entry(int p) {
  struct Run {
    int first;
    float start;
    float step;
  };
  static constexpr Run kRuns[] = {{3, -90.0f, 5.0f},           {11, -50.0f, 5.0f / 6.0f},
                                  {23, -40.0f, 0.5f},          {43, -30.0f, 5.0f / 18.0f},
                                  {79, -20.0f, 5.0f / 26.0f},  {105, -15.0f, 5.0f / 38.0f},
                                  {143, -10.0f, 5.0f / 36.0f}, {179, -5.0f, 5.0f / 28.0f},
                                  {207, 0.0f, 5.0f / 24.0f},   {231, 5.0f, 5.0f / 24.0f}};
  if (p <= 1) return -99.9f;
  if (p == 2) return -96.0f;
  const Run* run = &kRuns[0];
  for (const Run& r : kRuns) {
    if (p >= r.first) run = &r;
  }
  return run->start + run->step * static_cast<float>(p - run->first);
}

const VuScale& Scale() {
  static const VuScale scale = [] {
    VuScale s;
    for (int p = 0; p < kVuScaleSize; ++p) {
      s.db[static_cast<size_t>(p)] = Entry(p);
      s.linear[static_cast<size_t>(p)] = DbToLinear(s.db[static_cast<size_t>(p)]);
    }
    return s;
  }();
  return scale;
}

// The first i >= 1 with db <= entry i, for a level strictly inside the
// table. A level above entry 254 takes i = 255.
int UpperIndex(const VuScale& s, float db) {
  const auto it = std::lower_bound(s.db.begin() + 1, s.db.end() - 1, db);
  return static_cast<int>(it - s.db.begin());
}

}  // namespace

float VuScaleDb(int position) {
  return Scale().db[static_cast<size_t>(std::clamp(position, 0, kVuScaleSize - 1))];
}

float VuScaleLinear(int position) {
  return Scale().linear[static_cast<size_t>(std::clamp(position, 0, kVuScaleSize - 1))];
}

float VuPositionInterpolated(float db) {
  const VuScale& s = Scale();
  if (!(db > s.db.front())) return 0.0f;  // NaN counts as silence
  if (db >= s.db.back()) return static_cast<float>(kVuScaleSize - 1);
  const int i = UpperIndex(s, db);
  const float lower = s.db[static_cast<size_t>(i - 1)];
  const float upper = s.db[static_cast<size_t>(i)];
  return static_cast<float>(i - 1) + (db - lower) / (upper - lower);
}

int VuPositionNearest(float db) {
  const VuScale& s = Scale();
  if (!(db > s.db.front())) return 0;
  if (db >= s.db.back()) return kVuScaleSize - 1;
  const int i = UpperIndex(s, db);
  const float below = std::fabs(db - s.db[static_cast<size_t>(i - 1)]);
  const float above = std::fabs(db - s.db[static_cast<size_t>(i)]);
  return below > above ? i : i - 1;
}

}  // namespace varn
