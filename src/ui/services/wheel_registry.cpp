#include "ui/services/wheel_registry.h"

#include <QEvent>
#include <QObject>
#include <QWheelEvent>
#include <QWidget>
#include <utility>
#include <vector>

namespace varn {

namespace {

class WheelRegistry : public QObject {
 public:
  int Add(QWidget* window) {
    if (!window) return -1;
    // A second registration must not hook the window twice.
    if (const int found = Find(window); found >= 0) return found;
    int slot = Find(nullptr);
    if (slot < 0) {
      slots_.push_back({});
      slot = static_cast<int>(slots_.size()) - 1;
    }
    Slot& s = slots_[static_cast<size_t>(slot)];
    s.window = window;
    s.wheel = 0;
    // A widget at the address of a destroyed one must not inherit its slot.
    const QObject* key = window;
    s.destroyed =
        QObject::connect(window, &QObject::destroyed, this, [this, key] { Free(Find(key)); });
    window->installEventFilter(this);
    return slot;
  }

  void Remove(QWidget* window) {
    const int slot = Find(window);
    if (slot < 0) return;
    window->removeEventFilter(this);
    Free(slot);
  }

  // The first slot holding `window`; with nullptr, the first free slot.
  int Find(const QObject* window) const {
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i].window == window) return static_cast<int>(i);
    return -1;
  }

  int Take(QWidget* window) {
    const int slot = window ? Find(window) : -1;
    if (slot < 0) return 0;
    return std::exchange(slots_[static_cast<size_t>(slot)].wheel, 0);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Wheel) {
      const int y = static_cast<QWheelEvent*>(event)->angleDelta().y();
      const int slot = Find(watched);
      // A purely sideways scroll, or a touchpad's start and end of a
      // gesture, carries no vertical notch and must not read as one away.
      if (slot >= 0 && y != 0) slots_[static_cast<size_t>(slot)].wheel = y < 0 ? 1 : -1;
    }
    return false;  // every event goes on unchanged
  }

 private:
  struct Slot {
    QObject* window = nullptr;
    int wheel = 0;
    QMetaObject::Connection destroyed;
  };

  void Free(int slot) {
    if (slot < 0) return;
    Slot& s = slots_[static_cast<size_t>(slot)];
    QObject::disconnect(s.destroyed);
    s = Slot{};
  }

  std::vector<Slot> slots_;
};

WheelRegistry& Registry() {
  static WheelRegistry registry;
  return registry;
}

}  // namespace

int SubclassWindow(QWidget* window) { return Registry().Add(window); }
void UnsubclassWindow(QWidget* window) { Registry().Remove(window); }
int FindSlot(QWidget* window) { return window ? Registry().Find(window) : -1; }
int TakeWheel(QWidget* window) { return Registry().Take(window); }

}  // namespace varn
