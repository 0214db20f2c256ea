#pragma once
// The program's side of the web console: ten times a second, after a tick,
// it publishes a LiveSnapshot through a triple buffer, and it hands every
// event line over through a lock-free ring. Neither ever waits for the
// console; a ring that a stuck console leaves full drops lines (counted).

#include <atomic>
#include <chrono>

#include "engine/tick_timer.h"
#include "log/event_log.h"
#include "ops/triple_buffer.h"
#include "ops/web/live_snapshot.h"
#include "util/spsc_ring.h"

namespace varn {

inline constexpr double kLivePublishSec = 0.1;
inline constexpr size_t kLiveEventRing = 512;

class LivePublisher final : public TickObserver, public EventListener {
 public:
  explicit LivePublisher(EventLog& log);
  ~LivePublisher() override;
  LivePublisher(const LivePublisher&) = delete;
  LivePublisher& operator=(const LivePublisher&) = delete;

  // The program's thread.
  void AfterTick(const Engine& engine) override;
  void OnEvent(const EventRecord& event) override;
  // Publishes now, whatever the time since the last one (tests).
  void Publish(const Engine& engine);

  // The program's thread: the sequence number of the last snapshot published.
  uint64_t Sequence() const { return sequence_; }

  // The console's hub thread (one reader only).
  const LiveSnapshot& Latest() { return snapshots_.Read(); }
  bool TakeEvent(LiveEvent& event) { return events_.TryPop(event); }
  uint64_t DroppedEvents() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  EventLog& log_;
  std::chrono::steady_clock::time_point last_{};
  uint64_t sequence_ = 0;
  TripleBuffer<LiveSnapshot> snapshots_;
  SpscRing<LiveEvent> events_{kLiveEventRing};
  std::atomic<uint64_t> dropped_{0};
};

}  // namespace varn
