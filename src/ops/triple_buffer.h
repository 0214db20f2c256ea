#pragma once
// Hands the newest value of something from one writer thread to one reader
// thread, neither ever waiting for the other: three slots, one the writer
// fills, one the reader reads, one in between holding the newest finished
// value. Publishing swaps the writer's slot with the middle one; reading
// swaps the reader's with the middle one when it holds something newer.
// The program's thread publishes the metrics this way, so a slow scrape can
// never hold up a tick.

#include <atomic>
#include <cstdint>

namespace varn {

template <class T>
class TripleBuffer {
 public:
  TripleBuffer() = default;
  TripleBuffer(const TripleBuffer&) = delete;
  TripleBuffer& operator=(const TripleBuffer&) = delete;

  // Writer: the slot to fill. It holds an older value (or T{}): the writer
  // sets it afresh.
  T& Back() { return slots_[back_]; }
  // Writer: the slot filled becomes the newest value.
  void Publish() {
    back_ =
        middle_.exchange(static_cast<uint8_t>(back_ | kFresh), std::memory_order_acq_rel) & kIndex;
  }

  // Reader: the newest value published (T{} before the first). It stays
  // valid and unchanged until the reader's next Read.
  const T& Read() {
    if (middle_.load(std::memory_order_relaxed) & kFresh)
      front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndex;
    return slots_[front_];
  }

 private:
  static constexpr uint8_t kIndex = 3;
  static constexpr uint8_t kFresh = 4;  // the middle slot was published and not read yet
  static_assert(std::atomic<uint8_t>::is_always_lock_free);

  T slots_[3];
  uint8_t back_ = 0;  // the writer's
  alignas(64) std::atomic<uint8_t> middle_{1};
  alignas(64) uint8_t front_ = 2;  // the reader's
};

}  // namespace varn
