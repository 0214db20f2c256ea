#pragma once
// What one block draws over the spectrum's grid: the top row of the bar in
// every column and the points of the hold curve. Comparing two blocks'
// shapes tells where their pictures can differ, so a block repaints a band
// around the bar tops and the curve instead of the whole view.

#include <QPoint>
#include <QRegion>
#include <vector>

namespace varn {

struct SpectrumShape {
  int width = 0;
  int height = 0;
  std::vector<int> barTop;   // per column, 0..height; height: no bar
  std::vector<QPoint> hold;  // the polyline, drawn when it has two points

  // For each column, the segments of the curve that can touch it (segment
  // i joins points i and i + 1; none when last < first) and the rows they
  // span. Filled by IndexCurve.
  struct CurveColumn {
    int first = 0;
    int last = -1;
    int top = 1;
    int bottom = 0;
  };
  std::vector<CurveColumn> curve;

  // No bars and no curve on a width x height picture.
  void Reset(int w, int h);
  // Fills `curve` from `hold`; call once the curve is complete.
  void IndexCurve();
};

// The area where the pictures of two shapes of one size may differ: a few
// rectangles, each a run of columns as tall as their changes need. A
// different size, or a curve not indexed, is the whole picture.
QRegion ShapeChange(const SpectrumShape& before, const SpectrumShape& after);

}  // namespace varn
