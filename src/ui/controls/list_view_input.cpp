// The list under the mouse and the keyboard: tab borders dragged to resize
// columns, tab clicks that sort, row selection, scrolling keys and tool tips
// for cut cells.

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <algorithm>
#include <cstdlib>

#include "ui/controls/control_font.h"
#include "ui/controls/uc_buttons.h"
#include "ui/controls/uc_list_view.h"
#include "ui/controls/uc_slider.h"
#include "ui/controls/uc_text_picture.h"
#include "ui/twips.h"

namespace varn {

namespace {
constexpr int kGripPixels = 3;    // either side of a tab border
constexpr int kMinTabPixels = 8;  // a dragged column keeps this much
}  // namespace

int UC_ListView::TabBorderAt(QPoint point) const {
  if (!HeaderRect().contains(point)) return -1;
  // From the right, so a column squeezed to nothing can still be widened.
  for (int c = NumData() - 1; c >= 0; --c) {
    const QRect r = ColumnRect(c);
    if (TabHidden(c)) continue;
    if (std::abs(point.x() - (r.left() + r.width())) <= kGripPixels) return c;
  }
  return -1;
}

void UC_ListView::DragTabTo(int column, int x) {
  if (column < 0 || column >= NumData()) return;
  const int pixels = std::max(kMinTabPixels, x - ColumnRect(column).left());
  columns_[static_cast<size_t>(column)].widthTwips = PixelsToTwips(pixels);
  LayOut();
  update();
}

void UC_ListView::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (HeaderRect().contains(at)) {
    if (event->button() != Qt::LeftButton || tabDisabled_) return;
    draggedTab_ = TabBorderAt(at);
    if (draggedTab_ >= 0) return;
    const int column = ColumnAt(at.x());
    if (column >= 0 && !sortDisabled_) {
      ReOrder(column, column == orderData_ ? !orderInverted_ : false);
      if (onTabReOrderd) onTabReOrderd(column);
    }
    return;
  }
  const int row = RowAt(at);
  const int column = row >= 0 ? ColumnAt(at.x()) : -1;
  if (onMouseDown)
    onMouseDown(MouseButtonNumber(event->button()), UC_Buttons::ShiftStateOf(event->modifiers()),
                row, column);
  if (event->button() == Qt::LeftButton && row >= 0 && !clickDisabled_) SetSelectedItem(row);
}

void UC_ListView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (draggedTab_ >= 0 && (event->buttons() & Qt::LeftButton)) {
    DragTabTo(draggedTab_, at.x());
    return;
  }
  if (!tabDisabled_ && TabBorderAt(at) >= 0)
    setCursor(Qt::SplitHCursor);
  else
    unsetCursor();
}

void UC_ListView::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (draggedTab_ >= 0) {
    const int column = std::exchange(draggedTab_, -1);
    if (event->button() == Qt::LeftButton) DragTabTo(column, at.x());
    if (onTabMoved) onTabMoved(column, TabWidth(column));
    return;
  }
  const int row = RowAt(at);
  if (event->button() == Qt::LeftButton && row >= 0 && !clickDisabled_ && onClicked)
    onClicked(row, ColumnAt(at.x()));
}

void UC_ListView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const int border = tabDisabled_ ? -1 : TabBorderAt(at);
  if (event->button() == Qt::LeftButton && border >= 0) {
    // A double click on a border fits the column to its text, as lists do.
    SetTabWidthAuto(border);
    if (onTabMoved) onTabMoved(border, TabWidth(border));
    return;
  }
  mousePressEvent(event);
}

void UC_ListView::keyPressEvent(QKeyEvent* event) {
  const int page = std::max(1, VisibleRows());
  switch (event->key()) {
    case Qt::Key_Up:
      VBarMove(TopItem() - 1);
      return;
    case Qt::Key_Down:
      VBarMove(TopItem() + 1);
      return;
    case Qt::Key_PageUp:
      VBarMove(TopItem() - page);
      return;
    case Qt::Key_PageDown:
      VBarMove(TopItem() + page);
      return;
    case Qt::Key_Home:
      VBarMove(0);
      return;
    case Qt::Key_End:
      VBarMove(vbar_->Max());
      return;
    case Qt::Key_Left:
      HBarMove(hbar_->Value() - kListHScrollStep);
      return;
    case Qt::Key_Right:
      HBarMove(hbar_->Value() + kListHScrollStep);
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

bool UC_ListView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  QString text;
  if (showToolTip_) {
    const QFontMetrics metrics(CachedControlFont().font);
    const int column = ColumnAt(help->pos().x());
    const int row = RowAt(help->pos());
    if (column >= 0 && (row >= 0 || HeaderRect().contains(help->pos()))) {
      const QString full = row >= 0 ? CellText(row, column) : TabName(column);
      if (metrics.horizontalAdvance(full) > ColumnRect(column).width() - 2 * kListCellPadding)
        text = full;
    }
  }
  if (text.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(help->globalPos(), text, this);
  return true;
}

}  // namespace varn
