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

// Column c shows the same curve pixels in both when the segments that can
// touch it are the same.
bool SameCurveAt(size_t c, const SpectrumShape& a, const SpectrumShape& b) {
  const SpectrumShape::CurveColumn& ca = a.curve[c];
  const SpectrumShape::CurveColumn& cb = b.curve[c];
  const int n = ca.last - ca.first;
  if (n != cb.last - cb.first) return false;
  if (n < 0) return true;
  return std::equal(a.hold.begin() + ca.first, a.hold.begin() + ca.last + 2,
                    b.hold.begin() + cb.first);
}

}  // namespace

void SpectrumShape::Reset(int w, int h) {
  width = w;
  height = h;
  barTop.assign(static_cast<size_t>(std::max(w, 0)), h);
  hold.clear();
  curve.assign(static_cast<size_t>(std::max(w, 0)), CurveColumn());
}

void SpectrumShape::IndexCurve() {
  curve.assign(static_cast<size_t>(std::max(width, 0)), CurveColumn());
  for (size_t i = 0; i + 1 < hold.size(); ++i) {
    const QPoint a = hold[i];
    const QPoint b = hold[i + 1];
    const int top = std::min(a.y(), b.y()) - kSlack;
    const int bottom = std::max(a.y(), b.y()) + kSlack;
    const int x1 = std::max(std::min(a.x(), b.x()) - kSlack, 0);
    const int x2 = std::min(std::max(a.x(), b.x()) + kSlack, width - 1);
    for (int x = x1; x <= x2; ++x) {
      CurveColumn& c = curve[static_cast<size_t>(x)];
      if (c.last < c.first) {
        c = {static_cast<int>(i), static_cast<int>(i), top, bottom};
      } else {
        c.last = static_cast<int>(i);
        c.top = std::min(c.top, top);
        c.bottom = std::max(c.bottom, bottom);
      }
    }
  }
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
  const auto columns = static_cast<size_t>(std::max(w, 0));
  if (before.width != w || before.height != h || before.barTop.size() != columns ||
      after.barTop.size() != columns || before.curve.size() != columns ||
      after.curve.size() != columns)
    return QRegion(0, 0, w, h);
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
    if (!SameCurveAt(c, before, after)) {
      for (const SpectrumShape::CurveColumn* cc : {&before.curve[c], &after.curve[c]})
        if (cc->first <= cc->last) band.Add(cc->top, cc->bottom);
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
