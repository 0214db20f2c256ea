#include "ui/services/centered_message_box.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>
#include <algorithm>

#include "ui/twips.h"

namespace varn {

namespace {

// Placed in showEvent, once Qt has given the box its final size and before
// the window appears, so it does not jump.
class CenteredBox : public QMessageBox {
 public:
  CenteredBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
              QMessageBox::StandardButtons buttons, QWidget* owner)
      : QMessageBox(icon, caption, text, buttons, owner),
        owner_(owner ? owner->window() : nullptr) {}

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    if (placed_ || !owner_ || owner_->isMinimized()) return;
    placed_ = true;
    QScreen* screen = owner_->screen() ? owner_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // The outer size, frame included, where the platform already knows it.
    move(CenteredBoxRect(owner_->frameGeometry(), frameGeometry().size(), screen->geometry(),
                         TwipsPerPixel())
             .topLeft());
  }

 private:
  QPointer<QWidget> owner_;
  bool placed_ = false;
};

}  // namespace

QRect CenteredBoxRect(QRect ownerRectPixels, QSize boxSize, QRect screenRectPixels,
                      int twipsPerPixel) {
  const int tpp = std::max(twipsPerPixel, 1);
  const int w = boxSize.width();
  const int h = boxSize.height();
  const int x = ownerRectPixels.left() + ownerRectPixels.width() / 2;
  const int y = ownerRectPixels.top() + ownerRectPixels.height() / 2;
  int left = x - w / 2;
  int top = y - h / 2;
  // Limits measured from the owner's screen, so a box on a second monitor
  // stays there.
  const int bottomLimit =
      screenRectPixels.top() + (screenRectPixels.height() * tpp - kFreeBottomTwips) / tpp;
  const int rightLimit = screenRectPixels.left() + screenRectPixels.width();
  if (top + h > bottomLimit) top = bottomLimit - h;
  if (left + w > rightLimit) left = rightLimit - w;
  top = std::max(top, screenRectPixels.top());
  left = std::max(left, screenRectPixels.left());
  return QRect(left, top, w, h);
}

QMessageBox::StandardButton CenteredMessageBox(const QString& text, QMessageBox::Icon icon,
                                               QMessageBox::StandardButtons buttons,
                                               const QString& caption, QWidget* owner) {
  // On the heap and watched: the owner may be destroyed while the box runs
  // its own event loop, and takes its child box with it.
  QPointer<CenteredBox> box = new CenteredBox(icon, caption, text, buttons, owner);
  box->exec();
  if (!box) return QMessageBox::NoButton;
  const QMessageBox::StandardButton pressed = box->standardButton(box->clickedButton());
  delete box.data();
  return pressed;
}

}  // namespace varn
