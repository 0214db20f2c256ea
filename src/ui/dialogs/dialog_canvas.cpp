#include "ui/dialogs/dialog_canvas.h"

#include <QKeyEvent>
#include <QPainter>

#include "settings/folders.h"
#include "ui/display/paint_style.h"
#include "ui/fonts/font_cache.h"
#include "ui/services/centered_message_box.h"

namespace varn {

DialogCanvas::DialogCanvas(QWidget* owner, std::function<void()> applySettings)
    : QWidget(owner, Qt::Dialog), applySettings_(std::move(applySettings)) {
  setAttribute(Qt::WA_DeleteOnClose);
  if (owner) setWindowIcon(owner->windowIcon());
  SetWindowFont(this);
  showBox = [](const QString& text, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
               const QString& caption, QWidget* boxOwner) {
    return CenteredMessageBox(text, icon, buttons, caption, boxOwner);
  };
}

void DialogCanvas::AddLabel(const QRect& pixels, const QString& text) {
  labels_.push_back({pixels, text});
  update(pixels);
}

void DialogCanvas::ButtonClicked(int index) {
  if (index == 1)
    OkClicked();
  else if (index == 0)
    CancelClicked();
}

void DialogCanvas::Confirm(const std::function<bool()>& store) {
  if (confirmed_) return;
  try {
    if (!store()) return;
  } catch (...) {
    ShowBox(QString::fromUtf8(kInvalidInputText), QMessageBox::NoIcon,
            QString::fromUtf8(kAppTitle.data(), static_cast<qsizetype>(kAppTitle.size())));
    return;
  }
  // Out of sight before the settings apply: they pause for running channels
  // while window messages go on, and a second OK must not come in between.
  confirmed_ = true;
  hide();
  if (applySettings_) applySettings_();
  close();
}

void DialogCanvas::ShowInvalidInput(const std::string& reason) {
  ShowBox(QString::fromUtf8(kInvalidInputText) + "\n" + QString::fromStdString(reason),
          QMessageBox::NoIcon,
          QString::fromUtf8(kAppTitle.data(), static_cast<qsizetype>(kAppTitle.size())));
}

void DialogCanvas::ShowBox(const QString& text, QMessageBox::Icon icon, const QString& caption) {
  if (showBox) showBox(text, icon, QMessageBox::Ok, caption, this);
}

void DialogCanvas::FitToContents(int marginPixels) {
  QRect used;
  for (const QObject* child : children()) {
    const auto* w = qobject_cast<const QWidget*>(child);
    if (w && !w->isWindow() && !w->isHidden()) used |= w->geometry();
  }
  for (const PaintedLabel& label : labels_) used |= label.rect;
  setFixedSize(used.right() + 1 + marginPixels, used.bottom() + 1 + marginPixels);
}

void DialogCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintStyle(painter, rect(), -2);
  PaintStyle(painter, rect(), 14);
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  for (const PaintedLabel& label : labels_)
    painter.drawText(label.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, label.text);
}

namespace {

bool Unmodified(const QKeyEvent* key) {
  return key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
}

bool IsEnter(const QKeyEvent* key) {
  return Unmodified(key) && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
}

}  // namespace

void DialogCanvas::EnterMeansOk(QWidget* control) {
  if (control) control->installEventFilter(this);
}

bool DialogCanvas::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && IsEnter(static_cast<QKeyEvent*>(event))) {
    OkClicked();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void DialogCanvas::keyPressEvent(QKeyEvent* event) {
  // Fields pass on the keys they do not use; these two reach the window.
  if (IsEnter(event)) {
    OkClicked();
    return;
  }
  if (Unmodified(event) && event->key() == Qt::Key_Escape) {
    CancelClicked();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace varn
