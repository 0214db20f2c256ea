#pragma once
// A picture of the panel: shows an image the drawing code paints into, and
// reports the pointer to whoever owns it. The image is kept at the view's
// size; nothing is scaled.

#include <QImage>
#include <QWidget>
#include <functional>

namespace varn {

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

  // The image, sized to the view when the view is resized (contents cleared
  // to the background colour).
  QImage& Image() { return image_; }
  void SetBackground(QColor colour);
  QColor Background() const { return background_; }
  void Clear();

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

  QImage image_;
  QColor background_ = Qt::black;
};

}  // namespace varn
