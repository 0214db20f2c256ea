#pragma once
// Keeps a virtual device's thread away from its stream's queue while the
// program's thread works on the backend's side of it (a stop, a reset).
// The device's side never waits: it looks in, and skips its turn when the
// program holds the gate. The program's side waits at most for the one
// production step that is under way.

#include <atomic>
#include <thread>

#include "util/thread_role.h"

namespace varn {

class DeviceGate {
 public:
  // The device's thread: true when it may touch the queue; Leave after.
  bool TryEnter() VARN_TSA(try_acquire_capability(true, gAudioThreadRole))
      VARN_NO_THREAD_ANALYSIS {
    inside_.store(true, std::memory_order_seq_cst);
    if (held_.load(std::memory_order_seq_cst) == 0) return true;
    inside_.store(false, std::memory_order_release);
    return false;
  }
  void Leave() VARN_RELEASE(gAudioThreadRole) VARN_NO_THREAD_ANALYSIS {
    inside_.store(false, std::memory_order_release);
  }

  // The program's thread: from Hold to Release the device stays out.
  void Hold() {
    held_.fetch_add(1, std::memory_order_seq_cst);
    while (inside_.load(std::memory_order_seq_cst)) std::this_thread::yield();
  }
  void Release() { held_.fetch_sub(1, std::memory_order_release); }

 private:
  std::atomic<bool> inside_{false};
  std::atomic<int> held_{0};
};

// Holds a gate for a scope: the program's thread then works on the
// device's side of the queue, in the device thread's stead.
class VARN_SCOPED_CAPABILITY GateHold {
 public:
  explicit GateHold(DeviceGate& gate) VARN_ACQUIRE(gAudioThreadRole) : gate_(gate) { gate_.Hold(); }
  ~GateHold() VARN_RELEASE() { gate_.Release(); }
  GateHold(const GateHold&) = delete;
  GateHold& operator=(const GateHold&) = delete;

 private:
  DeviceGate& gate_;
};

}  // namespace varn
