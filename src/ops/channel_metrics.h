#pragma once
// The per-channel families of the metrics endpoint, read from the engine's
// records on the program's thread.

#include "ops/metric_set.h"

namespace varn {

class Engine;

// varn_channel_recording, varn_channel_device_info, varn_stream_info, varn_level_dbfs (running
// channels, the sides their meters show), varn_audio_lost_seconds_total, varn_input_stalled,
// varn_archive_bytes_total and the loudness below.
void AddChannelMetrics(MetricSet& metrics, const Engine& engine);
// varn_loudness_lufs{window}, varn_loudness_range_lu, varn_true_peak_dbtp
// and varn_loudness_last_hour_lufs of the figures that exist, and
// varn_loudness_target_lufs (AddChannelMetrics adds them too).
void AddLoudnessMetrics(MetricSet& metrics, const Engine& engine);

}  // namespace varn
