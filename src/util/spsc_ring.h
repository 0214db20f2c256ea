#pragma once
// A bounded single-producer/single-consumer ring: one thread pushes, one
// other thread pops, neither ever waits or allocates. This is how the
// program's thread meets the audio threads and the archive worker.
//
// Positions count up for ever (64 bits do not wrap in practice); a slot is
// position % capacity. The producer publishes a slot with a release store of
// head_, the consumer frees it with a release store of tail_.

#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>

namespace varn {

template <class T>
class SpscRing {
 public:
  explicit SpscRing(size_t capacity = 0) { Reserve(capacity); }
  SpscRing(const SpscRing&) = delete;
  SpscRing& operator=(const SpscRing&) = delete;

  // Producer, while the ring is empty: room for at least `capacity` items.
  // The consumer reads the storage only after it has seen a push, so an
  // empty ring may be re-sized under a running consumer. False (nothing
  // changed) when items are still queued.
  bool Reserve(size_t capacity) {
    if (capacity <= capacity_) return true;
    if (!Empty()) return false;
    slots_ = std::make_unique<T[]>(capacity);
    capacity_ = capacity;
    return true;
  }

  // Producer. False when the ring is full.
  bool TryPush(T value) {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) >= capacity_) return false;
    slots_[head % capacity_] = std::move(value);
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

  // Consumer: the oldest item, or null when the ring is empty.
  T* Front() {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail == head_.load(std::memory_order_acquire)) return nullptr;
    return &slots_[tail % capacity_];
  }
  // Consumer: frees the slot Front returned.
  void Pop() { tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  // Consumer. False when the ring is empty.
  bool TryPop(T& out) {
    T* front = Front();
    if (!front) return false;
    out = std::move(*front);
    Pop();
    return true;
  }

  // Either side. The tail is read first, so the figure never goes negative
  // when the other side moves meanwhile.
  bool Empty() const { return Size() == 0; }
  size_t Size() const {
    const size_t tail = tail_.load(std::memory_order_acquire);
    return head_.load(std::memory_order_acquire) - tail;
  }
  size_t Capacity() const { return capacity_; }

 private:
  std::unique_ptr<T[]> slots_;
  size_t capacity_ = 0;
  alignas(64) std::atomic<size_t> head_{0};  // next position the producer writes
  alignas(64) std::atomic<size_t> tail_{0};  // next position the consumer reads
};

}  // namespace varn
