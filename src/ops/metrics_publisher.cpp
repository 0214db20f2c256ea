#include "ops/metrics_publisher.h"

#include "engine/engine.h"
#include "ops/archive_metrics.h"
#include "ops/channel_metrics.h"
#include "ops/line_state_metrics.h"
#include "ops/monitor_metrics.h"

namespace varn {

MetricsPublisher::MetricsPublisher(EventLog& log)
    : log_(log), ticks_(std::vector<double>(kTickBucketsSec.begin(), kTickBucketsSec.end())) {
  log_.AddListener(&events_);
  Publish(nullptr);
}

MetricsPublisher::~MetricsPublisher() { log_.RemoveListener(&events_); }

void MetricsPublisher::AfterTick(const Engine& engine) {
  ticks_.Observe(engine.Stats().lastMs / 1000.0);
}

void MetricsPublisher::EverySecond(const Engine& engine) { Publish(&engine); }

void MetricsPublisher::Publish(const Engine* engine) {
  MetricSet& m = exchange_.Back();
  m.Clear();
  m.Family("varn_build_info", "The running varn's version.", MetricType::Gauge)
      .Add({{"version", VARN_VERSION}}, 1.0);
  if (engine) {
    if (engine->ChannelCount() != seededChannels_) {
      seededChannels_ = engine->ChannelCount();
      events_.Seed(seededChannels_);
    }
    AddChannelMetrics(m, *engine);
    AddLineStateMetrics(m, *engine);
    // Taken with the snapshot: a program thread that stops ticking leaves
    // the time standing while the endpoint goes on answering.
    m.Family("varn_last_tick_timestamp_seconds",
             "Wall-clock time (Unix seconds) of the update tick that published this snapshot.",
             MetricType::Gauge)
        .Add({}, engine->LastTickUnixTime());
    // No sample while it cannot be told: an absent series, not a guess.
    if (engine->ClockSynchronised() >= 0)
      m.Family("varn_clock_synchronized",
               "1 while the kernel says the system clock is synchronised (NTP), else 0.",
               MetricType::Gauge)
          .Add({}, engine->ClockSynchronised() == 1 ? 1.0 : 0.0);
    AddMonitorMetrics(m, *engine);
    AddArchiveMetrics(m, *engine);
  }
  events_.AddTo(m);
  m.Family("varn_tick_seconds", "How long the update ticks took.", MetricType::Histogram)
      .Add({}, ticks_);
  exchange_.Publish();
}

}  // namespace varn
