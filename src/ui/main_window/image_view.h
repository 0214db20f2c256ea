#pragma once
// A picture of the panel: shows an image the drawing code paints into, and
// reports the pointer to whoever owns it. The image is kept at the view's
// size; nothing is scaled. The drawing code marks what it changed; the view
// repaints only that, through the window's repaint pacer when it has one.
// A ring view shows its image turned round at the ring's start column, so a
// scrolling picture never moves its pixels.

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <functional>

namespace varn {

class RepaintPacer;

struct PointerEvent {
  Qt::MouseButton button = Qt::NoButton;
  Qt::MouseButtons buttons;
  Qt::KeyboardModifiers modifiers;
  int xTwips = 0;
  int yTwips = 0;
};

class ImageView : public QWidget {
 public:
  explicit ImageView(QWidget* parent = nullptr);

  // The image, kept at the view's size, even before the view is shown (a
  // new size clears it to the background colour).
  QImage& Image();
  void SetBackground(QColor colour);
  QColor Background() const { return background_; }
  void Clear();

  // Repaints go through `pacer` (nullptr: at once, on the next paint).
  void SetPacer(RepaintPacer* pacer) { pacer_ = pacer; }
  // `area` of the view changed.
  void MarkChanged(const QRegion& area);
  void MarkAllChanged() { MarkChanged(rect()); }
  // The picture moved `dx` pixels sideways (a ring view whose start moved).
  void MarkScrolled(int dx);

  // The image column shown at the view's left edge; 0 shows it as it is.
  void SetRingStart(int column) { ringStart_ = column; }
  int RingStart() const { return ringStart_; }

  std::function<void(const PointerEvent&)> onPress;
  std::function<void(const PointerEvent&)> onRelease;
  std::function<void(const PointerEvent&)> onMove;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  PointerEvent Pointer(const QMouseEvent* event) const;
  void FitImage();
  void PaintArea(QPainter& painter, const QRect& area) const;

  QImage image_;
  QColor background_ = Qt::black;
  RepaintPacer* pacer_ = nullptr;
  int ringStart_ = 0;
};

}  // namespace varn
