#include "audio/sim/sim_pacer.h"

#include <chrono>

namespace varn {

namespace {
constexpr auto kPeriod = std::chrono::milliseconds(10);
}

SimPacer::SimPacer() {
  for (auto& s : slots_) s.store(nullptr, std::memory_order_relaxed);
  thread_ = std::thread([this] { Run(); });
}

SimPacer::~SimPacer() {
  quit_.store(true, std::memory_order_release);
  if (thread_.joinable()) thread_.join();
}

bool SimPacer::Add(SimPaced* device) {
  for (auto& s : slots_) {
    SimPaced* empty = nullptr;
    if (s.compare_exchange_strong(empty, device, std::memory_order_acq_rel)) return true;
  }
  return false;
}

void SimPacer::Remove(SimPaced* device) {
  for (auto& s : slots_) {
    SimPaced* expected = device;
    s.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst);
  }
  // A pass that loaded the device before it left may still be using it:
  // wait for that pass to end (at most one round of the devices).
  const uint64_t epoch = epoch_.load(std::memory_order_seq_cst);
  if (epoch % 2 == 0) return;
  while (epoch_.load(std::memory_order_seq_cst) == epoch) std::this_thread::yield();
}

void SimPacer::Run() {
  auto next = std::chrono::steady_clock::now();
  while (!quit_.load(std::memory_order_acquire)) {
    next += kPeriod;
    std::this_thread::sleep_until(next);
    // After a long stall, go on from now rather than race to catch up.
    const auto now = std::chrono::steady_clock::now();
    if (now - next > 10 * kPeriod) next = now;
    epoch_.fetch_add(1, std::memory_order_seq_cst);
    for (auto& s : slots_)
      if (SimPaced* device = s.load(std::memory_order_seq_cst)) device->Pace();
    epoch_.fetch_add(1, std::memory_order_seq_cst);
  }
}

}  // namespace varn
