#include "ui/controls/uc_slider.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

#include "ui/controls/control_drawing.h"
#include "ui/display/colours.h"
#include "ui/display/paint_style.h"

namespace varn {

namespace {
constexpr int kMinThumbPixels = 10;
constexpr int kFirstRepeatMs = 350;
constexpr int kRepeatMs = 50;
constexpr int kTrackStyle = 1;  // background painter style of the track
constexpr int kDefaultThickness = 16;
}  // namespace

UC_Slider::UC_Slider(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  connect(&repeat_, &QTimer::timeout, this, [this] { Repeat(); });
}

void UC_Slider::SetIsVertical(bool vertical) {
  vertical_ = vertical;
  updateGeometry();
  update();
}

void UC_Slider::SetNoArrow(bool noArrow) {
  noArrow_ = noArrow;
  update();
}

void UC_Slider::SetDisabletrim(bool noTrim) {
  noTrim_ = noTrim;
  update();
}

void UC_Slider::SetCenterLined(bool lined) {
  centerLined_ = lined;
  update();
}

void UC_Slider::SetNoGrad(bool plain) {
  noGrad_ = plain;
  update();
}

void UC_Slider::SetPointerSize(int size) {
  pointerSize_ = std::max(0, size);
  update();
}

void UC_Slider::SetMin(int min) {
  min_ = min;
  max_ = std::max(max_, min_);
  value_ = std::clamp(value_, min_, max_);
  update();
}

void UC_Slider::SetMax(int max) {
  max_ = max;
  min_ = std::min(min_, max_);
  value_ = std::clamp(value_, min_, max_);
  update();
}

void UC_Slider::SetValue(int value) {
  const int clamped = std::clamp(value, min_, max_);
  if (clamped == value_) return;
  value_ = clamped;
  update();
}

QSize UC_Slider::sizeHint() const {
  return vertical_ ? QSize(kDefaultThickness, 100) : QSize(100, kDefaultThickness);
}

int UC_Slider::ArrowLength() const {
  if (noArrow_) return 0;
  // Arrows as long as the bar is thick, unless the bar is too short for both.
  return std::min(Thickness(), Length() / 2);
}

int UC_Slider::ThumbLength() const {
  const int track = Length() - 2 * ArrowLength();
  if (track <= 0) return 0;
  int length = Thickness();
  const long long range = static_cast<long long>(max_) - min_;
  if (pointerSize_ > 0)
    length =
        static_cast<int>(static_cast<long long>(track) * pointerSize_ / (range + pointerSize_));
  return std::clamp(length, std::min(kMinThumbPixels, track), track);
}

int UC_Slider::ThumbStart() const {
  const int track = Length() - 2 * ArrowLength();
  const int room = track - ThumbLength();
  const long long range = static_cast<long long>(max_) - min_;
  if (room <= 0 || range <= 0) return ArrowLength();
  return ArrowLength() + static_cast<int>(room * (static_cast<long long>(value_) - min_) / range);
}

QRect UC_Slider::AlongRect(int start, int length) const {
  return vertical_ ? QRect(0, start, width(), length) : QRect(start, 0, length, height());
}

UC_Slider::Part UC_Slider::PartAt(QPoint point) const {
  const int at = vertical_ ? point.y() : point.x();
  const int arrow = ArrowLength();
  if (at < arrow) return Part::LowArrow;
  if (at >= Length() - arrow) return Part::HighArrow;
  const int thumb = ThumbStart();
  if (at < thumb) return Part::LowTrack;
  if (at >= thumb + ThumbLength()) return Part::HighTrack;
  return Part::Thumb;
}

namespace {

void DrawArrow(QPainter& painter, const QRect& box, bool vertical, bool towardsHigh, bool enabled) {
  const QPoint c = box.center();
  const int s = std::max(2, std::min(box.width(), box.height()) / 4);
  QPolygon triangle;
  if (vertical)
    triangle << (towardsHigh ? QPoint(c.x() - s, c.y() - s / 2) : QPoint(c.x() - s, c.y() + s / 2))
             << (towardsHigh ? QPoint(c.x() + s, c.y() - s / 2) : QPoint(c.x() + s, c.y() + s / 2))
             << (towardsHigh ? QPoint(c.x(), c.y() + s / 2 + 1) : QPoint(c.x(), c.y() - s / 2 - 1));
  else
    triangle << (towardsHigh ? QPoint(c.x() - s / 2, c.y() - s) : QPoint(c.x() + s / 2, c.y() - s))
             << (towardsHigh ? QPoint(c.x() - s / 2, c.y() + s) : QPoint(c.x() + s / 2, c.y() + s))
             << (towardsHigh ? QPoint(c.x() + s / 2 + 1, c.y()) : QPoint(c.x() - s / 2 - 1, c.y()));
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(enabled ? QColor(40, 40, 40) : DisabledTextColour());
  painter.drawPolygon(triangle);
  painter.restore();
}

}  // namespace

void UC_Slider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int arrow = ArrowLength();
  const QRect track = AlongRect(arrow, Length() - 2 * arrow);
  if (noGrad_)
    painter.fillRect(track, ToQColor(AdjustColor(ThemeColor(1), 25, 25, 25)));
  else
    PaintStyle(painter, track, kTrackStyle, -1, AdjustColor(ThemeColor(1), 30, 30, 30),
               ThemeColor(1));
  if (!noTrim_) DrawEdgeBox(painter, track, true);
  if (centerLined_) {
    painter.setPen(QColor(90, 90, 90));
    if (vertical_)
      painter.drawLine(width() / 2, track.top() + 2, width() / 2, track.bottom() - 2);
    else
      painter.drawLine(track.left() + 2, height() / 2, track.right() - 2, height() / 2);
  }
  const bool enabled = isEnabled() && max_ > min_;
  if (arrow > 0) {
    FaceLook low{pressed_ == Part::LowArrow, false, enabled, noTrim_};
    FaceLook high{pressed_ == Part::HighArrow, false, enabled, noTrim_};
    const QRect lowBox = AlongRect(0, arrow), highBox = AlongRect(Length() - arrow, arrow);
    DrawButtonFace(painter, lowBox, low);
    DrawButtonFace(painter, highBox, high);
    DrawArrow(painter, lowBox, vertical_, false, enabled);
    DrawArrow(painter, highBox, vertical_, true, enabled);
  }
  if (ThumbLength() > 0 && max_ > min_) {
    const QRect thumb = AlongRect(ThumbStart(), ThumbLength());
    DrawButtonFace(painter, thumb, FaceLook{false, pressed_ == Part::Thumb, true, false});
    if (hasFocus()) DrawFocusMark(painter, thumb);
  }
}

void UC_Slider::UserSets(int value) {
  const int before = value_;
  SetValue(value);
  if (value_ != before && onScrolled) onScrolled();
}

void UC_Slider::Repeat() {
  repeat_.setInterval(kRepeatMs);
  const QPoint pointer = mapFromGlobal(QCursor::pos());
  switch (pressed_) {
    case Part::LowArrow:
      UserSets(value_ - smallChange_);
      break;
    case Part::HighArrow:
      UserSets(value_ + smallChange_);
      break;
    case Part::LowTrack:
      // Paging stops once the thumb has reached the pointer.
      if (PartAt(pointer) == Part::LowTrack) UserSets(value_ - largeChange_);
      break;
    case Part::HighTrack:
      if (PartAt(pointer) == Part::HighTrack) UserSets(value_ + largeChange_);
      break;
    default:
      repeat_.stop();
  }
}

void UC_Slider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || refuseInput_ || max_ <= min_) return;
  const QPoint at = event->position().toPoint();
  pressed_ = PartAt(at);
  if (pressed_ == Part::Thumb) {
    dragOffset_ = (vertical_ ? at.y() : at.x()) - ThumbStart();
    update();
    return;
  }
  switch (pressed_) {
    case Part::LowArrow:
      UserSets(value_ - smallChange_);
      break;
    case Part::HighArrow:
      UserSets(value_ + smallChange_);
      break;
    case Part::LowTrack:
      UserSets(value_ - largeChange_);
      break;
    case Part::HighTrack:
      UserSets(value_ + largeChange_);
      break;
    default:
      break;
  }
  repeat_.start(kFirstRepeatMs);
  update();
}

void UC_Slider::mouseMoveEvent(QMouseEvent* event) {
  if (pressed_ != Part::Thumb) return;
  const int at = vertical_ ? event->position().toPoint().y() : event->position().toPoint().x();
  const int room = Length() - 2 * ArrowLength() - ThumbLength();
  if (room <= 0) return;
  const long long offset = std::clamp(at - dragOffset_ - ArrowLength(), 0, room);
  const long long range = static_cast<long long>(max_) - min_;
  // Nearest value to where the thumb was dragged.
  UserSets(min_ + static_cast<int>((offset * range + room / 2) / room));
}

void UC_Slider::mouseReleaseEvent(QMouseEvent*) {
  pressed_ = Part::None;
  repeat_.stop();
  update();
}

void UC_Slider::keyPressEvent(QKeyEvent* event) {
  if (refuseInput_) {
    QWidget::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
      UserSets(value_ - smallChange_);
      return;
    case Qt::Key_Down:
    case Qt::Key_Right:
      UserSets(value_ + smallChange_);
      return;
    case Qt::Key_PageUp:
      UserSets(value_ - largeChange_);
      return;
    case Qt::Key_PageDown:
      UserSets(value_ + largeChange_);
      return;
    case Qt::Key_Home:
      UserSets(min_);
      return;
    case Qt::Key_End:
      UserSets(max_);
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace varn
