#include "ui/main_window/record_buttons.h"

#include <QMouseEvent>
#include <QPainter>

namespace varn {

namespace {
// Recording is red, listening green; off is the panel's grey.
const QColor kRecordOn(200, 40, 40);
const QColor kMonitorOn(40, 160, 60);
const QColor kOff(96, 96, 96);
}  // namespace

int ShiftState(Qt::KeyboardModifiers modifiers) {
  int state = 0;
  if (modifiers & Qt::ShiftModifier) state |= 1;
  if (modifiers & Qt::ControlModifier) state |= 2;
  if (modifiers & Qt::AltModifier) state |= 4;
  return state;
}

RecordButtons::RecordButtons(int channel, QWidget* parent) : QWidget(parent), channel_(channel) {
  setToolTip(QStringLiteral("録音 / モニター"));
}

QSize RecordButtons::sizeHint() const { return {60, 22}; }

void RecordButtons::SetState(int button, int state) {
  if (button < 0 || button > 1 || states_[static_cast<size_t>(button)] == state) return;
  states_[static_cast<size_t>(button)] = state;
  update();
}

int RecordButtons::ButtonAt(int x) const { return x < width() / 2 ? 0 : 1; }

void RecordButtons::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int half = width() / 2;
  for (int b = 0; b < 2; ++b) {
    const QRect r(b * half + 1, 1, half - 2, height() - 2);
    const bool on = states_[static_cast<size_t>(b)] == 2;
    p.setPen(QColor(40, 40, 40));
    p.setBrush(on ? QColor(230, 230, 230) : QColor(200, 200, 200));
    p.drawRoundedRect(r, 3, 3);
    // Glyphs: a dot for recording, a speaker-like triangle for listening.
    p.setPen(Qt::NoPen);
    p.setBrush(on ? (b == 0 ? kRecordOn : kMonitorOn) : kOff);
    const int d = std::min(r.width(), r.height()) / 2;
    const QPoint c = r.center();
    if (b == 0) {
      p.drawEllipse(c, d / 2 + 1, d / 2 + 1);
    } else {
      const QPolygon tri({QPoint(c.x() - d / 2, c.y() - d / 2),
                          QPoint(c.x() - d / 2, c.y() + d / 2), QPoint(c.x() + d / 2, c.y())});
      p.drawPolygon(tri);
    }
  }
}

void RecordButtons::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  const int button = ButtonAt(static_cast<int>(event->position().x()));
  const int shift = ShiftState(event->modifiers());
  if (shift == 0) {
    if (onButtonClicked) onButtonClicked(channel_, button);
  } else if (onShiftClicked) {
    onShiftClicked(channel_, button, shift);
  }
}

}  // namespace varn
