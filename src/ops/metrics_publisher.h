#pragma once
// The program's side of the metrics endpoint: it counts event lines and
// tick durations as they happen and, once a second, publishes a snapshot of
// every family for the endpoint's thread to read. Publishing never waits
// for a scrape.

#include <array>

#include "engine/tick_timer.h"
#include "log/event_log.h"
#include "ops/event_counts.h"
#include "ops/metric_set.h"
#include "ops/triple_buffer.h"

namespace varn {

// varn_tick_seconds's bucket bounds.
inline constexpr std::array<double, 9> kTickBucketsSec = {0.001, 0.002, 0.005, 0.01, 0.02,
                                                          0.05,  0.1,   0.5,   1.0};

class MetricsPublisher final : public TickObserver {
 public:
  // Hears `log`'s lines from now on, and publishes a first snapshot (build
  // information and the event counts so far).
  explicit MetricsPublisher(EventLog& log);
  ~MetricsPublisher() override;
  MetricsPublisher(const MetricsPublisher&) = delete;
  MetricsPublisher& operator=(const MetricsPublisher&) = delete;

  // The program's thread: the tick's duration, and the snapshot.
  void AfterTick(const Engine& engine) override;
  void EverySecond(const Engine& engine) override;

  // The endpoint's thread (one reader only): the newest snapshot, valid
  // until its next call.
  const MetricSet& Latest() { return exchange_.Read(); }

 private:
  void Publish(const Engine* engine);

  EventLog& log_;
  EventCounts events_;
  HistogramCounts ticks_;
  int seededChannels_ = -1;
  TripleBuffer<MetricSet> exchange_;
};

}  // namespace varn
