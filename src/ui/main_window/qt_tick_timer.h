#pragma once
// The update timer on the window's event loop: single-shot, armed again by
// the engine after each tick, so ticks never overlap.

#include <QTimer>
#include <functional>

#include "engine/tick_timer.h"

namespace varn {

class QtTickTimer final : public TickTimer {
 public:
  explicit QtTickTimer(std::function<void()> onTick) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [fn = std::move(onTick)] { fn(); });
  }
  void Arm(int milliseconds) override { timer_.start(milliseconds); }
  void Disarm() override { timer_.stop(); }
  bool Armed() const { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace varn
