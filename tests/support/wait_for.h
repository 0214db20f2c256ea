#pragma once
// Polling for something another process or thread brings about.

#include <chrono>
#include <functional>
#include <thread>

namespace varn::test {

// Polls `done` every 10 ms for at most `seconds`; true when it came true.
inline bool WaitFor(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace varn::test
