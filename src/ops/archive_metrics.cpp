#include "ops/archive_metrics.h"

#include "engine/engine.h"
#include "ops/event_counts.h"

namespace varn {

void AddArchiveMetrics(MetricSet& metrics, const Engine& engine) {
  const ArchiveKeeping* keeping = engine.Keeping();
  if (!keeping) return;
  const ArchiveFigures& f = keeping->Figures();
  if (f.known) {
    MetricFamily& bytes = metrics.Family(
        "varn_archive_bytes", "Bytes of the channel's archive files on disk, at the last sweep.",
        MetricType::Gauge);
    MetricFamily& files = metrics.Family(
        "varn_archive_files", "Archive files of the channel on disk, at the last sweep.",
        MetricType::Gauge);
    MetricFamily& oldest = metrics.Family(
        "varn_archive_oldest_timestamp_seconds",
        "Start (Unix seconds) of the channel's oldest archive file, at the last sweep.",
        MetricType::Gauge);
    for (int ch = 0; ch < kSweepChannels; ++ch) {
      const ArchiveFigures::Channel& c = f.channels[static_cast<size_t>(ch)];
      // Channels beyond those monitored only when they hold files.
      if (ch >= engine.ChannelCount() && c.files == 0) continue;
      bytes.Add({{"channel", ChannelLabel(ch)}}, static_cast<double>(c.bytes));
      files.Add({{"channel", ChannelLabel(ch)}}, static_cast<double>(c.files));
      if (c.files > 0) oldest.Add({{"channel", ChannelLabel(ch)}}, c.oldest);
    }
  }
  if (f.freeKnown)
    metrics
        .Family("varn_disk_free_bytes",
                "Free bytes of the data folder's file system for the program, at the last sweep.",
                MetricType::Gauge)
        .Add({}, static_cast<double>(f.freeBytes));
  MetricFamily& deleted = metrics.Family(
      "varn_archive_deleted_files_total",
      "Archive files deleted since the program started, by retention (ArchiveKeepDays) or "
      "for free space (ArchiveMinFreeMB).",
      MetricType::Counter);
  for (int ch = 0; ch < engine.ChannelCount(); ++ch)
    for (SweepReason reason : {SweepReason::Retention, SweepReason::Space})
      deleted.Add({{"channel", ChannelLabel(ch)}, {"reason", std::string(SweepReasonName(reason))}},
                  static_cast<double>(keeping->Deleted(ch, reason)));
}

}  // namespace varn
