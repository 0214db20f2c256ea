#include "ops/channel_metrics.h"

#include "engine/engine.h"
#include "ops/event_counts.h"

namespace varn {

namespace {

std::vector<MetricLabel> ChannelOnly(int ch) { return {{"channel", ChannelLabel(ch)}}; }

void AddLevels(MetricFamily& f, int ch, const ChannelRecord& c) {
  const ChannelAnalysis& a = c.analysis;
  if (c.archive.Capturing != 1 || !a.Ready()) return;
  const LevelWindow& w = a.meter.MeterWindow;
  // The sides the meter shows: both in stereo, else the one bar.
  const bool left = a.stereoMode != StereoMode::MonoRight;
  const bool right = a.stereoMode == StereoMode::Stereo || a.stereoMode == StereoMode::MonoRight;
  const auto add = [&](int side, double rms, double peak) {
    f.Add({{"channel", ChannelLabel(ch)}, {"side", SideLabel(side)}, {"kind", "rms"}}, rms);
    f.Add({{"channel", ChannelLabel(ch)}, {"side", SideLabel(side)}, {"kind", "peak"}}, peak);
  };
  if (left) add(0, w.MeanRmsL(), w.MaxPeakL());
  if (right) add(1, w.MeanRmsR(), w.MaxPeakR());
}

}  // namespace

void AddChannelMetrics(MetricSet& metrics, const Engine& engine) {
  const int channels = engine.ChannelCount();
  MetricFamily& recording = metrics.Family(
      "varn_channel_recording", "1 while the channel runs (captures), else 0.", MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch) {
    const ChannelRecord& c = engine.Channel(ch);
    recording.Add({{"channel", ChannelLabel(ch)}, {"name", c.name}},
                  c.archive.Capturing == 1 ? 1.0 : 0.0);
  }

  MetricFamily& device = metrics.Family(
      "varn_channel_device_info",
      "1 for each running channel, naming the input device it really opened; fallback is 1 "
      "when that is the default device standing in for a named device that is missing.",
      MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch) {
    const ChannelRecord& c = engine.Channel(ch);
    if (c.archive.Capturing != 1) continue;
    device.Add({{"channel", ChannelLabel(ch)},
                {"device", c.openedDevice},
                {"fallback", c.onDefaultDevice ? "1" : "0"}},
               1.0);
  }

  MetricFamily& streamInfo = metrics.Family(
      "varn_stream_info",
      "1 for each running channel whose network stream has sent a now-playing title, "
      "naming it (cut to 256 characters).",
      MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch) {
    const ChannelRecord& c = engine.Channel(ch);
    if (c.archive.Capturing != 1 || c.capture.StreamTitle.empty()) continue;
    streamInfo.Add({{"channel", ChannelLabel(ch)}, {"title", c.capture.StreamTitle}}, 1.0);
  }

  MetricFamily& level = metrics.Family(
      "varn_level_dbfs",
      "Level the channel's meter shows, in dBFS over its 0.3 s window: mean RMS or highest "
      "peak (-99 for no signal). Running channels only.",
      MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch) AddLevels(level, ch, engine.Channel(ch));

  MetricFamily& lost = metrics.Family(
      "varn_audio_lost_seconds_total",
      "Seconds of audio lost on the way (capture overruns, archive queue full, writes the "
      "disk refused) since the program started; the archive holds silence in their place.",
      MetricType::Counter);
  for (int ch = 0; ch < channels; ++ch)
    lost.Add(ChannelOnly(ch), engine.Channel(ch).loss.LostSecondsTotal());

  MetricFamily& stalled = metrics.Family(
      "varn_input_stalled", "1 while a running channel's input delivers no audio, else 0.",
      MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch) {
    const ChannelRecord& c = engine.Channel(ch);
    stalled.Add(ChannelOnly(ch), c.archive.Capturing == 1 && c.input.Stalled() ? 1.0 : 0.0);
  }

  MetricFamily& archived =
      metrics.Family("varn_archive_bytes_total",
                     "Bytes written to the channel's archive files since the program started.",
                     MetricType::Counter);
  for (int ch = 0; ch < channels; ++ch)
    archived.Add(ChannelOnly(ch), static_cast<double>(engine.Channel(ch).writer.BytesWritten()));

  AddLoudnessMetrics(metrics, engine);
}

void AddLoudnessMetrics(MetricSet& metrics, const Engine& engine) {
  // A figure that does not exist yet (a stopped line, silence under the
  // gate, the first 3 s of an hour) has no sample: an absent series, not
  // a made-up level.
  const int channels = engine.ChannelCount();
  std::vector<LoudnessReadings> readings;
  for (int ch = 0; ch < channels; ++ch) readings.push_back(engine.Loudness(ch));

  MetricFamily& lufs = metrics.Family(
      "varn_loudness_lufs",
      "EBU R128 loudness in LUFS: momentary (400 ms), short_term (3 s) and integrated since the "
      "hour's start (the hourly file's).",
      MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch) {
    const LoudnessReadings& r = readings[static_cast<size_t>(ch)];
    const auto add = [&](const char* window, const std::optional<double>& v) {
      if (v) lufs.Add({{"channel", ChannelLabel(ch)}, {"window", window}}, *v);
    };
    add("momentary", r.momentaryLufs);
    add("short_term", r.shortTermLufs);
    add("integrated", r.integratedLufs);
  }
  MetricFamily& range =
      metrics.Family("varn_loudness_range_lu",
                     "EBU R128 loudness range since the hour's start, in LU.", MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch)
    if (const auto& v = readings[static_cast<size_t>(ch)].rangeLu) range.Add(ChannelOnly(ch), *v);
  MetricFamily& peak =
      metrics.Family("varn_true_peak_dbtp", "Highest true peak since the hour's start, in dBTP.",
                     MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch)
    if (const auto& v = readings[static_cast<size_t>(ch)].truePeakDbtp)
      peak.Add(ChannelOnly(ch), *v);

  MetricFamily& lastHour = metrics.Family(
      "varn_loudness_last_hour_lufs",
      "EBU R128 integrated loudness of the last hour that ended (its hourly loudness line), in "
      "LUFS. Running channels only.",
      MetricType::Gauge);
  for (int ch = 0; ch < channels; ++ch)
    if (engine.Capturing(ch))
      if (const std::optional<double> v = engine.LastHourLoudness(ch))
        lastHour.Add(ChannelOnly(ch), *v);
  metrics
      .Family("varn_loudness_target_lufs",
              "LoudnessTarget: the integrated loudness each line's hour should have, in LUFS.",
              MetricType::Gauge)
      .Add({}, engine.Misc().loudnessTarget);
}

}  // namespace varn
