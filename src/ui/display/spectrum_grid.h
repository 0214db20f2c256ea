#pragma once
// The spectrum view's dB grid: a line for each level and its label at the
// view's left edge, the 0 line in its own colour. Where the view is too low
// for every label, a label is left out when it would touch one already
// placed (0 dB first, then the outermost in view, then the rest from the
// top), cross another level's line, run past the view's edge or lie under
// the marker at the 0 line's left end. A labelled line starts after its
// label.

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

namespace varn {

// Where a grid line starts when no label stands before it, pixels.
inline constexpr int kGridLineLeft = 20;

struct GridLine {
  QString text;
  double value = 0;
  int y = 0;      // the line's row
  QPoint textAt;  // where the label's baseline starts
  QRect ink;      // where the label's glyphs lie
  bool labelled = true;
  int lineLeft = kGridLineLeft;  // the line's first column
};

// The row of level v (dB) with the 0 line fftOffset percent above the bottom.
int GridRow(double v, float fftOffset, int height);

// The lines in drawing order, "+12" down to "-40" and "0" last, with their
// labels placed in `font`; markerPixels is the size of the marker (0: none).
std::vector<GridLine> GridLines(const QSize& size, float fftOffset, const QFont& font,
                                int markerPixels);

}  // namespace varn
