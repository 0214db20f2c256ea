#include "ui/controls/uc_check.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ui/controls/control_drawing.h"
#include "ui/controls/control_font.h"
#include "ui/display/paint_style.h"

namespace varn {

namespace {
constexpr int kMarkPixels = 13;  // at size rate 1
constexpr int kGapPixels = 5;    // between mark and caption
constexpr int kMarkStyle = 5;    // background painter style of the mark
}  // namespace

UC_Check::UC_Check(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  resize(sizeHint());
}

void UC_Check::SetCaption(const QString& caption) {
  caption_ = caption;
  resize(sizeHint());
  update();
}

void UC_Check::SetFontSize(float points) {
  fontSize_ = points;
  resize(sizeHint());
  update();
}

void UC_Check::SetSizeRate(float rate) {
  sizeRate_ = rate > 0 ? rate : 1;
  resize(sizeHint());
  update();
}

void UC_Check::SetValue(int value) {
  value_ = value != 0 ? 1 : 0;
  update();
}

void UC_Check::SetIsOption(bool option) {
  isOption_ = option;
  update();
}

void UC_Check::SetBGPic(int, int, QWidget* window) {
  backgroundWindow_ = window;
  update();
}

int UC_Check::MarkSize() const {
  return std::max(7, static_cast<int>(std::lround(kMarkPixels * sizeRate_)));
}

QSize UC_Check::sizeHint() const {
  const QFontMetrics metrics(CachedControlFont(fontSize_).font);
  const int textWidth = caption_.isEmpty() ? 0 : kGapPixels + metrics.horizontalAdvance(caption_);
  // Two pixels spare on the right for the focus mark.
  return {MarkSize() + textWidth + 4, std::max(MarkSize(), metrics.height()) + 4};
}

void UC_Check::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, isOption_);
  const int size = MarkSize();
  const QRect mark(1, (height() - size) / 2, size, size);
  const QColor ink = isEnabled() ? QColor(Qt::black) : DisabledTextColour();
  if (isOption_) {
    painter.setPen(QColor(96, 96, 96));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawEllipse(mark.adjusted(0, 0, -1, -1));
    if (value_) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(ink);
      painter.drawEllipse(QRectF(mark).adjusted(size * 0.3, size * 0.3, -size * 0.3, -size * 0.3));
    }
  } else {
    PaintStyle(painter, mark, kMarkStyle);
    DrawEdgeBox(painter, mark, true);
    if (value_) {
      // A tick drawn with the caption's ink.
      QPainterPath tick;
      tick.moveTo(mark.left() + size * 0.22, mark.top() + size * 0.50);
      tick.lineTo(mark.left() + size * 0.42, mark.top() + size * 0.72);
      tick.lineTo(mark.left() + size * 0.78, mark.top() + size * 0.26);
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setPen(QPen(ink, std::max(1.5, size / 7.0)));
      painter.drawPath(tick);
    }
  }
  const QRect text(mark.right() + 1 + kGapPixels, 0, width() - mark.right() - 1 - kGapPixels,
                   height());
  DrawFitCaption(painter, text, caption_, CachedControlFont(fontSize_).font, ink, Qt::AlignLeft);
  if (hasFocus()) DrawFocusMark(painter, rect().adjusted(-2, -2, 2, 2));
}

void UC_Check::UserToggles() {
  if (!isEnabled()) return;
  if (isOption_ && value_ == 1) return;
  value_ = isOption_ ? 1 : 1 - value_;
  update();
  if (onClick) onClick();
}

void UC_Check::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    UserToggles();
}

void UC_Check::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      UserToggles();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace varn
