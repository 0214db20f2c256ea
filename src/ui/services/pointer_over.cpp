#include "ui/services/pointer_over.h"

#include <QCursor>
#include <QWidget>

namespace varn {

bool IsStrictlyInside(QPoint point, QRect rect) {
  // QRect::right() is left + width - 1; the rule wants left + width.
  const int right = rect.left() + rect.width();
  const int bottom = rect.top() + rect.height();
  return rect.left() < point.x() && point.x() < right && rect.top() < point.y() &&
         point.y() < bottom;
}

bool IsPointerOver(const QWidget* control) {
  if (!control) return false;
  const QRect onScreen(control->mapToGlobal(QPoint(0, 0)), control->size());
  return IsStrictlyInside(QCursor::pos(), onScreen);
}

}  // namespace varn
