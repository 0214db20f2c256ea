#pragma once
// Direct pixel work on the 32-bit view images, for the drawing done once per
// analysed block: whole-image copies, scrolling and one-pixel columns touch
// the image's own memory and allocate nothing (unless the image's data is
// shared with a copy, which the first write then detaches).

#include <QImage>
#include <QRgb>

namespace varn {

// target takes source's pixels; an image of another size or format is
// painted over instead.
void CopyImage(QImage& target, const QImage& source);
// Moves every row `shift` pixels to the left; the rightmost `shift` columns
// keep their old pixels.
void ScrollLeft(QImage& image, int shift);
// Column x from row y1 to row y2 (inclusive, either order), clipped.
void FillColumn(QImage& image, int x, int y1, int y2, QRgb colour);
// Columns x1..x2 (inclusive), every row, clipped.
void FillColumns(QImage& image, int x1, int x2, QRgb colour);
// The pixels of `area` (clipped) from `source`, an image of the same size
// and format; anything else leaves target as it is.
void CopyArea(QImage& target, const QImage& source, const QRect& area);

}  // namespace varn
