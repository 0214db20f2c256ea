#include "ops/line_state_metrics.h"

#include "engine/engine.h"
#include "ops/event_counts.h"

namespace varn {

namespace {

// 1 for each watched side of a running channel whose detector reports its
// condition; a stopped channel has no sample (its detectors know nothing).
template <class State>
void AddSides(MetricFamily& f, const Engine& engine, State state) {
  for (int ch = 0; ch < engine.ChannelCount(); ++ch) {
    const ChannelRecord& c = engine.Channel(ch);
    const ChannelAnalysis& a = c.analysis;
    if (c.archive.Capturing != 1 || !a.Ready()) continue;
    for (int side : {kLeftSide, kRightSide}) {
      if (side == kLeftSide ? !WatchesLeft(a.stereoMode) : !WatchesRight(a.stereoMode)) continue;
      f.Add({{"channel", ChannelLabel(ch)}, {"side", SideLabel(side)}},
            state(a, side) == 1 ? 1.0 : 0.0);
    }
  }
}

}  // namespace

void AddLineStateMetrics(MetricSet& metrics, const Engine& engine) {
  AddSides(metrics.Family("varn_low_level_active",
                          "1 while the low-level detector reports the side below MinGateLevel_ "
                          "(from its low_level line to its low_level_end line), else 0.",
                          MetricType::Gauge),
           engine, [](const ChannelAnalysis& a, int side) { return a.lowLevel.State(side); });
  AddSides(metrics.Family("varn_over_level_active",
                          "1 while the over-level detector reports the side's peak above "
                          "MaxGateLevel_ (from its over_level line to its over_level_end line), "
                          "else 0.",
                          MetricType::Gauge),
           engine,
           [](const ChannelAnalysis& a, int side) { return a.levels.OverLevelState[side]; });

  const int channels = engine.ChannelCount();
  MetricFamily& failing = metrics.Family(
      "varn_archive_write_failing",
      "1 from the first archive write the disk refused until one succeeds again, else 0.",
      MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch)
    failing.Add({{"channel", ChannelLabel(ch)}}, engine.ArchiveWriteFailing(ch) ? 1.0 : 0.0);

  MetricFamily& expect = metrics.Family(
      "varn_channel_expect_audio",
      "ExpectAudio_: 1 when the line should always carry audio, 0 when it may be silent at times.",
      MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch)
    expect.Add({{"channel", ChannelLabel(ch)}}, engine.Channel(ch).expectAudio ? 1.0 : 0.0);
}

}  // namespace varn
