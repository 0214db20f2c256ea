#include "ui/display/spectrum_shape.h"

#include <QRect>
#include <algorithm>

namespace varn {

namespace {

// A line's pixels lie within its end points' box; two pixels more hold any
// rounding and the caps.
constexpr int kSlack = 2;
// Neighbouring changed columns share a rectangle while it stays within
// this much of the rows they need, so a block hands on a few rectangles.
constexpr double kRunWaste = 2.5;
constexpr int kRunSlackPixels = 256;

struct Rows {
  int lo = 1;
  int hi = 0;  // empty when lo > hi
  void Add(int a, int b) {
    if (a > b) std::swap(a, b);
    if (lo > hi) {
      lo = a;
      hi = b;
    } else {
      lo = std::min(lo, a);
      hi = std::max(hi, b);
    }
  }
  void Add(const Rows& r) {
    if (r.lo <= r.hi) Add(r.lo, r.hi);
  }
};

// For every column, the segments of the curve that can touch it (a run of
// indices, segment i joining points i and i+1) and the rows they span.
struct CurveColumns {
  std::vector<int> first, last;
  std::vector<Rows> rows;

  CurveColumns(const std::vector<QPoint>& points, int width)
      : first(static_cast<size_t>(width), 0),
        last(static_cast<size_t>(width), -1),
        rows(static_cast<size_t>(width)) {
    for (size_t i = 0; i + 1 < points.size(); ++i) {
      const QPoint a = points[i];
      const QPoint b = points[i + 1];
      const int x1 = std::max(std::min(a.x(), b.x()) - kSlack, 0);
      const int x2 = std::min(std::max(a.x(), b.x()) + kSlack, width - 1);
      for (int x = x1; x <= x2; ++x) {
        const auto c = static_cast<size_t>(x);
        if (last[c] < first[c]) first[c] = static_cast<int>(i);
        last[c] = static_cast<int>(i);
        rows[c].Add(std::min(a.y(), b.y()) - kSlack, std::max(a.y(), b.y()) + kSlack);
      }
    }
  }
};

// Column x shows the same curve pixels in both when the segments that can
// touch it are the same.
bool SameCurveAt(size_t x, const CurveColumns& a, const std::vector<QPoint>& pa,
                 const CurveColumns& b, const std::vector<QPoint>& pb) {
  const int n = a.last[x] - a.first[x];
  if (n != b.last[x] - b.first[x]) return false;
  if (n < 0) return true;
  return std::equal(pa.begin() + a.first[x], pa.begin() + a.last[x] + 2, pb.begin() + b.first[x]);
}

}  // namespace

void SpectrumShape::Reset(int w, int h) {
  width = w;
  height = h;
  barTop.assign(static_cast<size_t>(std::max(w, 0)), h);
  hold.clear();
}

// Rectangles joined pairwise, so joining many stays cheap.
QRegion Joined(std::vector<QRegion> parts) {
  if (parts.empty()) return {};
  while (parts.size() > 1) {
    std::vector<QRegion> next;
    next.reserve((parts.size() + 1) / 2);
    for (size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(parts[i].united(parts[i + 1]));
    if (parts.size() % 2 == 1) next.push_back(parts.back());
    parts = std::move(next);
  }
  return parts.front();
}

QRegion ShapeChange(const SpectrumShape& before, const SpectrumShape& after) {
  const int w = after.width;
  const int h = after.height;
  if (before.width != w || before.height != h || before.barTop.size() != static_cast<size_t>(w) ||
      after.barTop.size() != static_cast<size_t>(w))
    return QRegion(0, 0, w, h);
  const CurveColumns curveBefore(before.hold, w);
  const CurveColumns curveAfter(after.hold, w);
  std::vector<QRegion> runs;
  Rows run;
  int left = 0;
  int right = -1;
  double needed = 0;  // the rows the run's columns need, summed
  auto close = [&] {
    const int top = std::max(run.lo, 0);
    const int bottom = std::min(run.hi, h - 1);
    if (left <= right && top <= bottom)
      runs.emplace_back(QRect(QPoint(left, top), QPoint(right, bottom)));
    run = Rows();
    right = -1;
    needed = 0;
  };
  for (int x = 0; x < w; ++x) {
    const auto c = static_cast<size_t>(x);
    Rows band;
    // Rows between the two bar tops change; below both, both are bar.
    if (before.barTop[c] != after.barTop[c]) band.Add(before.barTop[c], after.barTop[c]);
    if (!SameCurveAt(c, curveBefore, before.hold, curveAfter, after.hold)) {
      band.Add(curveBefore.rows[c]);
      band.Add(curveAfter.rows[c]);
    }
    if (band.lo > band.hi) continue;
    if (right >= 0) {
      Rows joined = run;
      joined.Add(band);
      const double area = static_cast<double>(x - left + 1) * (joined.hi - joined.lo + 1);
      if (area > kRunWaste * (needed + band.hi - band.lo + 1) + kRunSlackPixels) close();
    }
    if (right < 0) left = x;
    run.Add(band);
    right = x;
    needed += band.hi - band.lo + 1;
  }
  close();
  return Joined(std::move(runs));
}

}  // namespace varn
