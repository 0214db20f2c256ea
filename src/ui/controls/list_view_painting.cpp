// How the list draws itself: the sunken frame, the column tabs in the
// header colours of the background painter, and the rows with their grid.

#include <QFontMetrics>
#include <QPainter>

#include "ui/controls/control_drawing.h"
#include "ui/controls/control_font.h"
#include "ui/controls/uc_list_view.h"
#include "ui/controls/uc_slider.h"
#include "ui/display/colours.h"
#include "ui/display/paint_style.h"

namespace varn {

namespace {
constexpr int kHeaderStyle = 5;  // background painter style of the tab row
constexpr QColor kStripe{244, 246, 250};

Qt::Alignment AlignmentOf(int align) {
  switch (align) {
    case 1:
      return Qt::AlignRight;
    case 2:
      return Qt::AlignHCenter;
    default:
      return Qt::AlignLeft;
  }
}
}  // namespace

void UC_ListView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  PaintRows(painter);
  PaintTabs(painter);
  // The corner between the two bars.
  if (vbarShown_ && hbarShown_)
    painter.fillRect(QRect(vbar_->x(), hbar_->y(), vbar_->width(), hbar_->height()),
                     ToQColor(ThemeColor(1)));
  DrawEdgeBox(painter, rect(), true);
}

void UC_ListView::PaintTabs(QPainter& painter) const {
  const QRect header = HeaderRect();
  if (header.isEmpty()) return;
  painter.save();
  painter.setClipRect(header);
  PaintStyle(painter, header, kHeaderStyle);
  const QFont font = CachedControlFont().font;
  for (int c = 0; c < NumData(); ++c) {
    QRect r = ColumnRect(c);
    if (r.width() <= 0) continue;
    r.setHeight(header.height());
    DrawEdgeBox(painter, r, false);
    DrawFitCaption(painter, r.adjusted(kListCellPadding, 0, -kListCellPadding, 0), TabName(c), font,
                   isEnabled() ? QColor(Qt::black) : DisabledTextColour(),
                   AlignmentOf(TabAlign(c)));
  }
  painter.restore();
}

void UC_ListView::PaintRows(QPainter& painter) const {
  const QRect body = BodyRect();
  if (body.isEmpty()) return;
  painter.save();
  painter.setClipRect(body);
  const QFont font = CachedControlFont().font;
  const int rowPx = RowHeightPixels();
  const QColor selected = ToQColor(selectedColor_);
  for (int row = TopItem(), y = body.top(); row < ItemCount() && y < body.bottom() + 1;
       ++row, y += rowPx) {
    const QRect line(body.left(), y, body.width(), rowPx);
    const bool chosen = IsSelected(row);
    if (chosen && selectedColorMode_ == 0)
      painter.fillRect(line, selected);
    else if (useMadara_ && row % 2 == 1)
      painter.fillRect(line, kStripe);
    QColor ink = DispColor(row) >= 0 ? ToQColor(DispColor(row)) : QColor(Qt::black);
    if (chosen) ink = selectedColorMode_ == 0 ? QColor(Qt::white) : selected;
    if (!isEnabled()) ink = DisabledTextColour();
    for (int c = 0; c < NumData(); ++c) {
      const QRect column = ColumnRect(c);
      if (column.width() <= 0) continue;
      const QRect cell(column.left() + kListCellPadding, y, column.width() - 2 * kListCellPadding, rowPx);
      DrawFitCaption(painter, cell, CellText(row, c), font, ink, AlignmentOf(TabAlign(c)));
    }
    if (HLine(row)) {
      painter.setPen(ToQColor(vLineColor_));
      painter.drawLine(line.left(), line.bottom(), line.right(), line.bottom());
    }
  }
  // Column borders run the whole body, rows or not.
  painter.setPen(ToQColor(vLineColor_));
  for (int c = 0; c < NumData(); ++c) {
    const QRect column = ColumnRect(c);
    if (column.width() <= 0) continue;
    const int x = column.left() + column.width() - 1;
    painter.drawLine(x, body.top(), x, body.bottom());
  }
  painter.restore();
}

}  // namespace varn
