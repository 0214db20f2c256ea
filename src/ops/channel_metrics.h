#pragma once
// The per-channel families of the metrics endpoint, read from the engine's
// records on the program's thread.

#include "ops/metric_set.h"

namespace varn {

class Engine;

// varn_channel_recording, varn_level_dbfs (running channels, the sides
// their meters show), varn_audio_lost_seconds_total, varn_input_stalled and
// varn_archive_bytes_total.
void AddChannelMetrics(MetricSet& metrics, const Engine& engine);

}  // namespace varn
