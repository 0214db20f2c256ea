#pragma once
// The update timer as the engine sees it: armed with an interval after each
// tick, disarmed while a tick runs or settings reload. The window realises it
// with a single-shot timer, the headless runner with its own loop.

#include <vector>

namespace varn {

class TickTimer {
 public:
  virtual ~TickTimer() = default;
  // The next tick is due `milliseconds` from now (replacing any earlier arming).
  virtual void Arm(int milliseconds) = 0;
  virtual void Disarm() = 0;
};

class Engine;

// Told after every tick (systemd's watchdog, for one), and once a second
// from the tick's once-per-second work (the metrics endpoint).
class TickObserver {
 public:
  virtual ~TickObserver() = default;
  virtual void AfterTick(const Engine& engine) = 0;
  virtual void EverySecond(const Engine& /*engine*/) {}
};

// Several observers where the engine takes one, told in the order added.
class TickObservers final : public TickObserver {
 public:
  void Add(TickObserver* observer) {
    if (observer) observers_.push_back(observer);
  }
  // What the engine's observer should be: null without any.
  TickObserver* Get() { return observers_.empty() ? nullptr : this; }
  void AfterTick(const Engine& engine) override {
    for (TickObserver* o : observers_) o->AfterTick(engine);
  }
  void EverySecond(const Engine& engine) override {
    for (TickObserver* o : observers_) o->EverySecond(engine);
  }

 private:
  std::vector<TickObserver*> observers_;
};

// A timer that only remembers its state: for tests and for loops that poll it.
class PolledTimer final : public TickTimer {
 public:
  void Arm(int milliseconds) override {
    armed_ = true;
    interval_ = milliseconds;
    ++armCount_;
  }
  void Disarm() override { armed_ = false; }
  bool Armed() const { return armed_; }
  int Interval() const { return interval_; }
  int ArmCount() const { return armCount_; }

 private:
  bool armed_ = false;
  int interval_ = 0;
  int armCount_ = 0;
};

}  // namespace varn
