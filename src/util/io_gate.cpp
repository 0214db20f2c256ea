#include "util/io_gate.h"

#include <atomic>

namespace varn {

namespace {
std::atomic<IoGate> gGate{nullptr};
}  // namespace

void SetIoGate(IoGate gate) { gGate.store(gate, std::memory_order_release); }

bool PassIoGate(const std::string& path) {
  const IoGate gate = gGate.load(std::memory_order_acquire);
  return !gate || gate(path);
}

}  // namespace varn
