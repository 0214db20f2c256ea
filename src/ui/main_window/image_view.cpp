#include "ui/main_window/image_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "ui/main_window/repaint_pacer.h"
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
  FitImage();
  if (!image_.isNull()) image_.fill(background_);
  ringStart_ = 0;
  MarkAllChanged();
}

void ImageView::MarkChanged(const QRegion& area) {
  if (pacer_)
    pacer_->Mark(this, area);
  else
    update(area);
}

void ImageView::MarkScrolled(int dx) {
  if (pacer_)
    pacer_->MarkScrolled(this, dx);
  else
    scroll(dx, 0);
}

QImage& ImageView::Image() {
  FitImage();
  return image_;
}

// A hidden view gets its resize event only when shown; its size is known
// before that, and so is what it will show.
void ImageView::FitImage() {
  if (width() < 1 || height() < 1 || image_.size() == size()) return;
  image_ = QImage(size(), QImage::Format_RGB32);
  image_.fill(background_);
  ringStart_ = 0;
}

void ImageView::resizeEvent(QResizeEvent*) { FitImage(); }

// Only the asked-for area is copied to the screen; a ring image in at most
// two pieces, either side of its start column.
void ImageView::PaintArea(QPainter& painter, const QRect& area) const {
  const QRect shown = area & image_.rect();
  if (shown != area) painter.fillRect(area, background_);
  if (shown.isEmpty()) return;
  const int start = ringStart_ > 0 && ringStart_ < image_.width() ? ringStart_ : 0;
  const int seam = image_.width() - start;  // view column of image column 0
  const QRect before = shown & QRect(0, 0, seam, image_.height());
  const QRect after = shown & QRect(seam, 0, start, image_.height());
  if (!before.isEmpty()) painter.drawImage(before.topLeft(), image_, before.translated(start, 0));
  if (!after.isEmpty()) painter.drawImage(after.topLeft(), image_, after.translated(-seam, 0));
}

void ImageView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (image_.isNull()) {
    painter.fillRect(rect(), background_);
    return;
  }
  for (const QRect& area : event->region()) PaintArea(painter, area);
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
