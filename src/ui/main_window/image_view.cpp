#include "ui/main_window/image_view.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/twips.h"

namespace varn {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void ImageView::SetBackground(QColor colour) {
  background_ = colour;
  Clear();
}

void ImageView::Clear() {
  if (!image_.isNull()) image_.fill(background_);
  update();
}

void ImageView::resizeEvent(QResizeEvent*) {
  if (width() < 1 || height() < 1) return;
  if (image_.size() == size()) return;
  image_ = QImage(size(), QImage::Format_RGB32);
  image_.fill(background_);
}

void ImageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_.isNull())
    painter.fillRect(rect(), background_);
  else
    painter.drawImage(0, 0, image_);
}

PointerEvent ImageView::Pointer(const QMouseEvent* event) const {
  PointerEvent p;
  p.button = event->button();
  p.buttons = event->buttons();
  p.modifiers = event->modifiers();
  const QPointF at = event->position();
  p.xTwips = static_cast<int>(at.x()) * TwipsPerPixel();
  p.yTwips = static_cast<int>(at.y()) * TwipsPerPixel();
  return p;
}

void ImageView::mousePressEvent(QMouseEvent* event) {
  if (onPress) onPress(Pointer(event));
}
void ImageView::mouseReleaseEvent(QMouseEvent* event) {
  if (onRelease) onRelease(Pointer(event));
}
void ImageView::mouseMoveEvent(QMouseEvent* event) {
  if (onMove) onMove(Pointer(event));
}

}  // namespace varn
