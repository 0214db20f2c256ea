#pragma once
// The monitor output's family of the metrics endpoint, read from the
// engine's record on the program's thread.

#include "ops/metric_set.h"

namespace varn {

class Engine;

// varn_monitor_skips_total: how often play-through fell too far behind
// capture and skipped ahead.
void AddMonitorMetrics(MetricSet& metrics, const Engine& engine);

}  // namespace varn
