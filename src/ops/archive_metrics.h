#pragma once
// The archive's families of the metrics endpoint: what the archive holds per
// channel and the free space, as the last sweep found them, and the files
// retention and the free-space guard deleted.

#include "ops/metric_set.h"

namespace varn {

class Engine;

// varn_archive_bytes, varn_archive_files, varn_archive_oldest_timestamp_seconds
// (channels 1..8 that hold files), varn_disk_free_bytes, varn_disk_low and
// varn_archive_deleted_files_total{channel,reason}.
void AddArchiveMetrics(MetricSet& metrics, const Engine& engine);

}  // namespace varn
