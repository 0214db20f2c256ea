#pragma once
// Whether the mouse pointer is over a control, for wheel notches that only
// count while the pointer is on the list they scroll.

#include <QPoint>
#include <QRect>

class QWidget;

namespace varn {

// Strictly inside: left < x < left + width and top < y < top + height, so the
// control's first row and column of pixels count as outside, as they always
// did.
bool IsStrictlyInside(QPoint point, QRect rect);

// The pointer against the control's rectangle on the screen; false for
// nullptr.
bool IsPointerOver(const QWidget* control);

}  // namespace varn
