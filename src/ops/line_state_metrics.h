#pragma once
// The families the alert rules are built on: what the detectors and the
// archive say of each line right now, and what the operator expects of it.
// Read from the engine's records on the program's thread.

#include "ops/metric_set.h"

namespace varn {

class Engine;

// varn_low_level_active{channel,side} and varn_over_level_active{channel,side}
// (running channels, the sides their detectors watch),
// varn_archive_write_failing{channel} and varn_channel_expect_audio{channel}.
void AddLineStateMetrics(MetricSet& metrics, const Engine& engine);

}  // namespace varn
