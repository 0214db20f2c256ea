#include "ui/controls/control_drawing.h"

#include <QFontMetrics>
#include <QPen>

#include "ui/display/paint_style.h"
#include "ui/fonts/fit_text.h"

namespace varn {

namespace {
// Background painter styles: the light run for a raised face, the darker
// one for a pressed face.
constexpr int kFaceUpStyle = 6;
constexpr int kFaceDownStyle = 8;
}  // namespace

void DrawButtonFace(QPainter& painter, const QRect& rect, const FaceLook& look) {
  if (rect.isEmpty()) return;
  PaintStyle(painter, rect, look.down ? kFaceDownStyle : kFaceUpStyle);
  if (look.hover && look.enabled && !look.down) painter.fillRect(rect, QColor(255, 255, 255, 70));
  if (!look.flat) DrawEdgeBox(painter, rect, look.down);
}

void DrawFitCaption(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
                    const QColor& colour, Qt::Alignment horizontal) {
  if (text.isEmpty() || rect.width() <= 0) return;
  const QFontMetrics metrics(font);
  const QString shown = FitText(text, metrics, rect.width(), false);
  painter.save();
  painter.setFont(font);
  painter.setPen(colour);
  painter.setClipRect(rect, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  painter.drawText(rect, static_cast<int>(horizontal | Qt::AlignVCenter) | Qt::TextSingleLine,
                   shown);
  painter.restore();
}

void DrawFocusMark(QPainter& painter, const QRect& rect) {
  painter.save();
  QPen pen(QColor(40, 40, 40));
  pen.setStyle(Qt::DotLine);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(3, 3, -4, -4));
  painter.restore();
}

QColor DisabledTextColour() { return QColor(128, 128, 128); }

}  // namespace varn
