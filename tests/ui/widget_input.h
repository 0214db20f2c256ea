#pragma once
// The mouse and the keyboard as a user drives them, for widget tests
// without Qt's test library: events are sent straight to the widget.

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace varn::test {

inline void Mouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButton button,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  Qt::MouseButtons held = Qt::NoButton) {
  const QPointF local(at);
  QMouseEvent event(type, local, w.mapToGlobal(local), button, held, modifiers);
  QApplication::sendEvent(&w, &event);
}

inline void Press(QWidget& w, QPoint at, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  Mouse(w, QEvent::MouseButtonPress, at, button, modifiers, button);
}

inline void Release(QWidget& w, QPoint at, Qt::MouseButton button = Qt::LeftButton,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  Mouse(w, QEvent::MouseButtonRelease, at, button, modifiers);
}

inline void Drag(QWidget& w, QPoint to) {
  Mouse(w, QEvent::MouseMove, to, Qt::NoButton, Qt::NoModifier, Qt::LeftButton);
}

inline void Click(QWidget& w, QPoint at, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  Press(w, at, button, modifiers);
  Release(w, at, button, modifiers);
}

inline void Key(QWidget& w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(&w, &release);
}

}  // namespace varn::test
