#pragma once
// Driving a settings dialog as its user does: typing over a field, clicking
// the bar's buttons, check boxes and tabs, and the message boxes it shows
// recorded instead of waited for.

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "ui/controls/uc_buttons.h"
#include "ui/dialogs/dialog_canvas.h"

namespace varn::test {

// Replaces the field's text as a user does: select everything, type.
inline void TypeOver(QLineEdit* field, const QString& text) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(field, text);
}

inline void ClickBarButton(UC_Buttons* bar, int button) {
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->ButtonRect(button).center());
}

inline void ClickCentre(QWidget* w) {
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

// True once the dialog is gone (its deferred deletion run).
inline bool Gone(const QPointer<QWidget>& dialog) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return dialog.isNull();
}

struct ShownBox {
  QString text;
  QMessageBox::Icon icon;
  QString caption;
};

// Records the boxes a dialog shows.
inline void RecordBoxes(DialogCanvas& dialog, std::vector<ShownBox>& boxes) {
  dialog.showBox = [&boxes](const QString& text, QMessageBox::Icon icon,
                            QMessageBox::StandardButtons, const QString& caption, QWidget*) {
    boxes.push_back({text, icon, caption});
    return QMessageBox::Ok;
  };
}

// Every caption inside the window, clear of every other caption and of every
// control: nothing a reader would find cut off or overlapping.
inline std::vector<std::string> LayoutFaults(const DialogCanvas& dialog) {
  std::vector<std::string> faults;
  const QRect inside = dialog.rect();
  std::vector<QRect> controls;
  for (const QObject* child : dialog.children()) {
    const auto* w = qobject_cast<const QWidget*>(child);
    if (w && !w->isWindow() && !w->isHidden()) controls.push_back(w->geometry());
  }
  const auto& labels = dialog.Labels();
  for (size_t i = 0; i < labels.size(); ++i) {
    const std::string name = labels[i].text.toStdString();
    if (!inside.contains(labels[i].rect)) faults.push_back(name + " outside the window");
    for (size_t j = i + 1; j < labels.size(); ++j)
      if (labels[i].rect.intersects(labels[j].rect))
        faults.push_back(name + " over " + labels[j].text.toStdString());
    for (const QRect& c : controls)
      if (labels[i].rect.intersects(c)) faults.push_back(name + " over a control");
  }
  for (size_t i = 0; i < controls.size(); ++i) {
    if (!inside.contains(controls[i])) faults.push_back("a control outside the window");
    for (size_t j = i + 1; j < controls.size(); ++j)
      if (controls[i].intersects(controls[j])) faults.push_back("two controls overlap");
  }
  return faults;
}

// The widgets Tab visits from `first` on, `count` of them.
inline std::vector<QWidget*> TabWalk(QWidget* window, QWidget* first, int count) {
  window->show();
  QApplication::setActiveWindow(window);
  first->setFocus();
  std::vector<QWidget*> visited{QApplication::focusWidget()};
  for (int i = 1; i < count; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  return visited;
}

}  // namespace varn::test
