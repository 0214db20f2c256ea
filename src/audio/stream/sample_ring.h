#pragma once
// A stream's jitter buffer: a bounded single-producer/single-consumer ring
// of 16-bit samples, written in runs by the stream's reader and read in runs
// by the thread that releases audio into the capture headers. Neither side
// waits or allocates; positions count up for ever, as in util/spsc_ring.h.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace varn {

class SampleRing {
 public:
  explicit SampleRing(size_t capacity)
      : slots_(std::make_unique<int16_t[]>(capacity > 0 ? capacity : 1)),
        capacity_(capacity > 0 ? capacity : 1) {}
  SampleRing(const SampleRing&) = delete;
  SampleRing& operator=(const SampleRing&) = delete;

  // Producer: copies up to `n` samples; returns how many fitted.
  size_t Write(const int16_t* data, size_t n) {
    const size_t head = head_.load(std::memory_order_relaxed);
    const size_t room = capacity_ - (head - tail_.load(std::memory_order_acquire));
    n = std::min(n, room);
    const size_t at = head % capacity_;
    const size_t first = std::min(n, capacity_ - at);
    std::memcpy(slots_.get() + at, data, first * sizeof(int16_t));
    std::memcpy(slots_.get(), data + first, (n - first) * sizeof(int16_t));
    head_.store(head + n, std::memory_order_release);
    return n;
  }

  // Consumer: copies up to `n` samples out (or drops them when `out` is
  // null); returns how many.
  size_t Read(int16_t* out, size_t n) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    n = std::min(n, head_.load(std::memory_order_acquire) - tail);
    if (out) {
      const size_t at = tail % capacity_;
      const size_t first = std::min(n, capacity_ - at);
      std::memcpy(out, slots_.get() + at, first * sizeof(int16_t));
      std::memcpy(out + first, slots_.get(), (n - first) * sizeof(int16_t));
    }
    tail_.store(tail + n, std::memory_order_release);
    return n;
  }

  // Either side: samples held now.
  size_t Size() const {
    const size_t tail = tail_.load(std::memory_order_acquire);
    return head_.load(std::memory_order_acquire) - tail;
  }
  size_t Capacity() const { return capacity_; }

 private:
  std::unique_ptr<int16_t[]> slots_;
  size_t capacity_;
  alignas(64) std::atomic<size_t> head_{0};
  alignas(64) std::atomic<size_t> tail_{0};
};

}  // namespace varn
