#include "ops/archive_metrics.h"

#include "engine/engine.h"
#include "ops/event_counts.h"

namespace varn {

void AddArchiveMetrics(MetricSet& metrics, const Engine& engine) {
  const ArchiveKeeping* keeping = engine.Keeping();
  if (!keeping) return;
  const ArchiveFigures& f = keeping->Figures();
  if (f.known) {
    // One family at a time: a family's reference lasts only until the next is added.
    struct Figure {
      const char* name;
      const char* help;
      double (*value)(const ArchiveFigures::Channel&);
      bool needsFiles;  // no sample for a channel without files
    };
    const Figure figures[] = {
        {"varn_archive_bytes", "Bytes of the channel's archive files on disk, at the last sweep.",
         [](const ArchiveFigures::Channel& c) { return static_cast<double>(c.bytes); }, false},
        {"varn_archive_files", "Archive files of the channel on disk, at the last sweep.",
         [](const ArchiveFigures::Channel& c) { return static_cast<double>(c.files); }, false},
        {"varn_archive_oldest_timestamp_seconds",
         "Start (Unix seconds) of the channel's oldest archive file, at the last sweep.",
         [](const ArchiveFigures::Channel& c) { return c.oldest; }, true},
    };
    for (const Figure& figure : figures) {
      MetricFamily& family = metrics.Family(figure.name, figure.help, MetricType::Gauge);
      for (int ch = 0; ch < kSweepChannels; ++ch) {
        const ArchiveFigures::Channel& c = f.channels[static_cast<size_t>(ch)];
        // Channels beyond those monitored only when they hold files.
        if ((ch >= engine.ChannelCount() || figure.needsFiles) && c.files == 0) continue;
        family.Add({{"channel", ChannelLabel(ch)}}, figure.value(c));
      }
    }
  }
  if (f.freeKnown)
    metrics
        .Family("varn_disk_free_bytes",
                "Free bytes of the data folder's file system for the program, at the last sweep.",
                MetricType::Gauge)
        .Add({}, static_cast<double>(f.freeBytes));
  metrics
      .Family("varn_disk_low",
              "1 while the data folder's file system has less free space than ArchiveMinFreeMB "
              "and nothing is left that may be deleted, else 0.",
              MetricType::Gauge)
      .Add({}, engine.DiskLow() ? 1.0 : 0.0);
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
