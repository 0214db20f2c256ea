#pragma once
// One thread that drives every real-time virtual device of a service, every
// 10 ms, as a sound card's interrupt would: one wake-up for all of them
// instead of one per device. A device takes part from Add to Remove; after
// Remove returns the thread never touches it again. The thread follows the
// rule of the audio threads: no lock, no allocation, nothing but the slots
// and the devices' own lock-free state.

#include <array>
#include <atomic>
#include <thread>

namespace varn {

class SimPaced {
 public:
  virtual ~SimPaced() = default;
  // On the pacer's thread: produce or play what the clock says is due.
  virtual void Pace() = 0;
};

class SimPacer {
 public:
  SimPacer();
  ~SimPacer();
  SimPacer(const SimPacer&) = delete;
  SimPacer& operator=(const SimPacer&) = delete;

  // False when every slot is taken (far more devices than a service has).
  bool Add(SimPaced* device);
  void Remove(SimPaced* device);

 private:
  void Run();

  static constexpr size_t kSlots = 64;
  std::array<std::atomic<SimPaced*>, kSlots> slots_{};
  std::atomic<uint64_t> epoch_{0};  // odd while a pass runs
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

}  // namespace varn
