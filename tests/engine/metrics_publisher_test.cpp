// The metrics as a scrape reads them, from an engine on virtual devices
// driven by hand: what each family says about the channels once a second,
// and the counters across a restart.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>

#include "engine/engine_fixture.h"
#include "ops/metrics_publisher.h"
#include "ops/prometheus_text.h"
#include "support/text_lines.h"
#include "util/io_gate.h"
#include "util/text.h"

namespace varn::test {
namespace {

constexpr int kPublisherRate = 8000;

uint64_t FolderBytes(const std::string& folder) {
  uint64_t bytes = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder)) bytes += e.file_size();
  return bytes;
}

class MetricsPublisherTest : public EngineFixture {
 protected:
  MetricsPublisherTest() { observer = &publisher; }
  ~MetricsPublisherTest() override { engine.reset(); }

  std::string Scrape() { return FormatPrometheusText(publisher.Latest()); }
  void Quiet(double seconds) {
    for (int i = 0; i < static_cast<int>(seconds * 100 + 0.5); ++i) TickAfter(0.01);
  }
  void BuildOne() {
    Build("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\n");
    engine->BeginRunning(true);
    ASSERT_TRUE(engine->Capturing(0));
  }

  MetricsPublisher publisher{log};
};

TEST_F(MetricsPublisherTest, EachSecondTheSnapshotSaysWhatTheChannelsDo) {
  std::string m = Scrape();  // before the engine: what the program is
  EXPECT_EQ(SeriesValue(m, "varn_build_info{version=\"" VARN_VERSION "\"}"), 1);
  EXPECT_EQ(m.find("varn_channel_recording"), std::string::npos);

  Build(
      "NumRec=2\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\nChName_1=Studio A\n"
      "DeviceName_2=Sim Silence\nRecFreq_2=8000\nBitRate_2=0\n");
  engine->BeginRunning(true);
  Run(2.0, {kToneDevice, kSilenceDevice}, kPublisherRate);
  m = Scrape();
  EXPECT_EQ(SeriesValue(m, "varn_channel_recording{channel=\"1\",name=\"Studio A\"}"), 1);
  EXPECT_EQ(SeriesValue(m, "varn_channel_recording{channel=\"2\",name=\"系統名2\"}"), 1);
  // The tone is a -20 dBFS sine: its RMS is 3 dB lower.
  for (const char* side : {"L", "R"}) {
    const std::string ch1 = std::string("varn_level_dbfs{channel=\"1\",side=\"") + side;
    EXPECT_NEAR(SeriesValue(m, ch1 + "\",kind=\"peak\"}"), -20.0, 0.1) << side;
    EXPECT_NEAR(SeriesValue(m, ch1 + "\",kind=\"rms\"}"), -23.0, 0.1) << side;
    const std::string ch2 = std::string("varn_level_dbfs{channel=\"2\",side=\"") + side;
    EXPECT_EQ(SeriesValue(m, ch2 + "\",kind=\"peak\"}"), -99.0) << side;
  }
  EXPECT_EQ(SeriesValue(m, "varn_events_total{channel=\"\",side=\"\",event=\"start\"}"), 1);
  EXPECT_EQ(SeriesValue(m, "varn_events_total{channel=\"1\",side=\"\",event=\"record_start\"}"), 1);
  EXPECT_EQ(SeriesValue(m, "varn_events_total{channel=\"2\",side=\"L\",event=\"low_level\"}"), 1);
  // Kinds not seen yet are there as zeros, so the first one is an increase.
  EXPECT_EQ(SeriesValue(m, "varn_events_total{channel=\"2\",side=\"R\",event=\"click\"}"), 0);
  EXPECT_EQ(SeriesValue(m, "varn_events_total{channel=\"2\",side=\"\",event=\"audio_lost\"}"), 0);
  EXPECT_EQ(SeriesValue(m, "varn_input_stalled{channel=\"1\"}"), 0);
  EXPECT_EQ(SeriesValue(m, "varn_audio_lost_seconds_total{channel=\"2\"}"), 0);
  // Loudness: the tone reads its level; what does not exist yet (short-term
  // before 3 s, anything of digital silence) is absent, not a number.
  EXPECT_NEAR(SeriesValue(m, "varn_loudness_lufs{channel=\"1\",window=\"momentary\"}"), -20.0, 0.3);
  EXPECT_NEAR(SeriesValue(m, "varn_loudness_lufs{channel=\"1\",window=\"integrated\"}"), -20.0,
              0.3);
  EXPECT_NEAR(SeriesValue(m, "varn_true_peak_dbtp{channel=\"1\"}"), -20.0, 0.3);
  EXPECT_TRUE(
      std::isnan(SeriesValue(m, "varn_loudness_lufs{channel=\"1\",window=\"short_term\"}")));
  EXPECT_TRUE(std::isnan(SeriesValue(m, "varn_loudness_lufs{channel=\"2\",window=\"momentary\"}")));
  EXPECT_TRUE(std::isnan(SeriesValue(m, "varn_true_peak_dbtp{channel=\"2\"}")));
  // Published at the last whole second, after about 100 ticks a second.
  const double ticks = SeriesValue(m, "varn_tick_seconds_count");
  EXPECT_GE(ticks, 100);
  EXPECT_LE(ticks, static_cast<double>(engine->Stats().ticks));
  EXPECT_EQ(SeriesValue(m, "varn_tick_seconds_bucket{le=\"+Inf\"}"), ticks);
  EXPECT_LE(SeriesValue(m, "varn_tick_seconds_bucket{le=\"0.001\"}"), ticks);

  // Channel 1 stops: it is not recording, its meter says nothing, and every
  // byte its files hold has been counted.
  engine->StopChannel(0);
  Run(1.0, {kSilenceDevice}, kPublisherRate);
  m = Scrape();
  EXPECT_EQ(SeriesValue(m, "varn_channel_recording{channel=\"1\",name=\"Studio A\"}"), 0);
  EXPECT_TRUE(std::isnan(SeriesValue(m, "varn_level_dbfs{channel=\"1\",side=\"L\",kind=\"rms\"}")));
  EXPECT_EQ(SeriesValue(m, "varn_level_dbfs{channel=\"2\",side=\"L\",kind=\"rms\"}"), -99.0);
  EXPECT_EQ(SeriesValue(m, "varn_events_total{channel=\"1\",side=\"\",event=\"record_stop\"}"), 1);
  EXPECT_TRUE(std::isnan(SeriesValue(m, "varn_loudness_lufs{channel=\"1\",window=\"momentary\"}")));
  const uint64_t onDisk = FolderBytes(dir / "data/ch1/");
  EXPECT_GT(onDisk, 1.5 * kPublisherRate * 4);  // whole buffers of 16-bit stereo
  EXPECT_EQ(SeriesValue(m, "varn_archive_bytes_total{channel=\"1\"}"), static_cast<double>(onDisk));
  EXPECT_GT(SeriesValue(m, "varn_tick_seconds_count"), ticks);
}

TEST_F(MetricsPublisherTest, LostAudioCountsUpInSecondsAndARestartDoesNotSetItBack) {
  BuildOne();
  Run(1.0, {kToneDevice}, kPublisherRate);
  Feed(kToneDevice, 5 * kPublisherRate);  // the ring (2.88 s) overflows
  TickAfter(0.01);
  Run(2.5, {kToneDevice}, kPublisherRate);  // the incident ends after 1 s without loss
  std::string lostLine;
  for (const std::string& t : EventTexts())
    if (t.rfind("ch1 音声欠落 ", 0) == 0) lostLine = t;
  ASSERT_FALSE(lostLine.empty());
  const double logged = std::stod(lostLine.substr(std::string("ch1 音声欠落 ").size()));
  const std::string series = "varn_audio_lost_seconds_total{channel=\"1\"}";
  const double first = SeriesValue(Scrape(), series);
  EXPECT_NEAR(first, logged, 0.05);
  EXPECT_EQ(
      SeriesValue(Scrape(), "varn_events_total{channel=\"1\",side=\"\",event=\"audio_lost\"}"), 1);

  engine->StopChannel(0);
  ASSERT_TRUE(engine->StartChannel(0));
  Run(1.2, {kToneDevice}, kPublisherRate);
  EXPECT_EQ(SeriesValue(Scrape(), series), first);
  Feed(kToneDevice, 4 * kPublisherRate);
  TickAfter(0.01);
  Run(1.2, {kToneDevice}, kPublisherRate);
  EXPECT_GT(SeriesValue(Scrape(), series), first + 0.5);
}

TEST_F(MetricsPublisherTest, MonitorSkipsCountUp) {
  BuildOne();
  Run(1.1, {kToneDevice}, kPublisherRate);
  EXPECT_EQ(SeriesValue(Scrape(), "varn_monitor_skips_total"), 0);
  // Nothing plays the output: with the ring of 2.88 s it skips ahead at
  // 2.4 s and 4.75 s.
  engine->SelectMonitorChannel(0);
  Run(6.0, {kToneDevice}, kPublisherRate);
  Quiet(1.0);
  EXPECT_EQ(engine->Monitor().Skips, 2u);
  EXPECT_EQ(SeriesValue(Scrape(), "varn_monitor_skips_total"), 2);
}

TEST_F(MetricsPublisherTest, AnInputThatStopsDeliveringShowsAsStalledUntilItResumes) {
  BuildOne();
  Run(6.0, {kToneDevice}, kPublisherRate);
  Quiet(3.2);  // the 3 s timeout, and the next whole second
  EXPECT_EQ(SeriesValue(Scrape(), "varn_input_stalled{channel=\"1\"}"), 1);
  Run(1.1, {kToneDevice}, kPublisherRate);
  EXPECT_EQ(SeriesValue(Scrape(), "varn_input_stalled{channel=\"1\"}"), 0);
}

std::atomic<bool> gDiskFull{false};
bool FullDiskForCh1(const std::string& path) {
  return !(gDiskFull.load() && path.find("/ch1/") != std::string::npos);
}

// What a full disk took is lost audio like any other: counted, told in the
// event file, and silence in the archive; the archive shows as failing from
// the first refused write until one succeeds; the device a line really
// opened and the clock's synchronisation are there to see.
TEST_F(MetricsPublisherTest, AFullDiskIsLostAudioAndFailingWritesAndTheDeviceAndClockAreNamed) {
  clockSynchronised = false;
  BuildOne();
  Run(1.5, {kToneDevice}, kPublisherRate);
  std::string m = Scrape();
  EXPECT_EQ(SeriesValue(m, "varn_channel_device_info{channel=\"1\",device=\"Sim Tone 1kHz\","
                           "fallback=\"0\"}"),
            1);
  EXPECT_EQ(SeriesValue(m, "varn_clock_synchronized"), 0);
  const std::string failing = "varn_archive_write_failing{channel=\"1\"}";
  EXPECT_EQ(SeriesValue(m, failing), 0);
  SetIoGate(FullDiskForCh1);
  gDiskFull = true;
  Run(5.0, {kToneDevice}, kPublisherRate);  // a 4 s disk buffer fails to go out
  EXPECT_EQ(SeriesValue(Scrape(), failing), 1);
  gDiskFull = false;
  Run(1.0, {kToneDevice}, kPublisherRate);  // no write tried since: it still counts as failing
  EXPECT_EQ(SeriesValue(Scrape(), failing), 1);
  Run(5.0, {kToneDevice}, kPublisherRate);
  SetIoGate(nullptr);
  m = Scrape();
  EXPECT_EQ(SeriesValue(m, failing), 0);
  const double lost = SeriesValue(m, "varn_audio_lost_seconds_total{channel=\"1\"}");
  EXPECT_GT(lost, 3.5);
  EXPECT_LT(lost, 9.0);
  EXPECT_EQ(CountEvents("ch1 録音ファイル書込失敗"), 1);
  EXPECT_EQ(CountEvents("ch1 音声欠落 "), 1) << Events();
  engine->StopChannel(0);
  TickAfter(0.01);
  // The file still covers the whole run: what was dropped is silence.
  uint64_t bytes = FolderBytes(dir / "data/ch1/");
  EXPECT_NEAR(static_cast<double>(bytes - 44) / (kPublisherRate * 4), 12.5, 0.35);
}

// The detectors' own state, side by side with their event lines: the
// tone on line 1 goes over and under thresholds a reload moves; line 2 is
// digital silence on its left side only (the right is not watched).
TEST_F(MetricsPublisherTest, LowAndOverLevelShowWhileTheirDetectorsReportThem) {
  Build(
      "NumRec=2\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\n"
      "DeviceName_2=Sim Silence\nRecFreq_2=8000\nBitRate_2=0\nStereoMode_2=2\n");
  engine->BeginRunning(true);
  const auto state = [&](const char* family, int channel, const char* side) {
    return SeriesValue(Scrape(), std::string(family) + "{channel=\"" + std::to_string(channel) +
                                     "\",side=\"" + side + "\"}");
  };
  const auto run = [&](double seconds) {
    Run(seconds, {kToneDevice, kSilenceDevice}, kPublisherRate);
  };
  run(1.5);
  for (const char* side : {"L", "R"}) {
    EXPECT_EQ(state("varn_low_level_active", 1, side), 0) << side;
    EXPECT_EQ(state("varn_over_level_active", 1, side), 0) << side;
  }
  EXPECT_EQ(state("varn_low_level_active", 2, "L"), 1);
  EXPECT_EQ(state("varn_over_level_active", 2, "L"), 0);
  EXPECT_TRUE(std::isnan(state("varn_low_level_active", 2, "R")));

  // The -20 dBFS tone (RMS -23) is now over -30 and under -10.
  WriteSetting("MaxGateLevel_1", "-30");
  WriteSetting("MinGateLevel_1", "-10");
  engine->ReloadSettings();
  run(1.1);
  for (const char* side : {"L", "R"}) {
    EXPECT_EQ(state("varn_over_level_active", 1, side), 1) << side;
    EXPECT_EQ(state("varn_low_level_active", 1, side), 1) << side;
  }
  EXPECT_EQ(CountEvents("ch1 Lch レベルUP"), 1);
  EXPECT_EQ(CountEvents("ch1 Rch レベルDOWN"), 1);

  WriteSetting("MaxGateLevel_1", "0");
  WriteSetting("MinGateLevel_1", "-90");
  engine->ReloadSettings();
  run(1.1);
  for (const char* side : {"L", "R"}) {
    EXPECT_EQ(state("varn_over_level_active", 1, side), 0) << side;
    EXPECT_EQ(state("varn_low_level_active", 1, side), 0) << side;
  }
  EXPECT_EQ(state("varn_low_level_active", 2, "L"), 1);

  // A stopped line's detectors know nothing: no sample at all.
  engine->StopChannel(1);
  Run(1.0, {kToneDevice}, kPublisherRate);
  EXPECT_TRUE(std::isnan(state("varn_low_level_active", 2, "L")));
  EXPECT_EQ(state("varn_low_level_active", 1, "L"), 0);
}

TEST_F(MetricsPublisherTest, WhatTheOperatorExpectsOfTheLinesFollowsTheSettings) {
  Build("NumRec=2\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\nExpectAudio_2=0\n");
  Run(1.0, {}, kPublisherRate);
  std::string m = Scrape();
  EXPECT_EQ(SeriesValue(m, "varn_channel_expect_audio{channel=\"1\"}"), 1);
  EXPECT_EQ(SeriesValue(m, "varn_channel_expect_audio{channel=\"2\"}"), 0);
  EXPECT_EQ(SeriesValue(m, "varn_loudness_target_lufs"), -23);

  WriteSetting("ExpectAudio_2", "1");
  WriteSetting("ExpectAudio_1", "0");
  WriteSetting("LoudnessTarget", "-16");
  engine->ReloadSettings();
  Run(1.0, {}, kPublisherRate);
  m = Scrape();
  EXPECT_EQ(SeriesValue(m, "varn_channel_expect_audio{channel=\"1\"}"), 0);
  EXPECT_EQ(SeriesValue(m, "varn_channel_expect_audio{channel=\"2\"}"), 1);
  EXPECT_EQ(SeriesValue(m, "varn_loudness_target_lufs"), -16);
}

// The snapshot carries the wall-clock time (UTC, not the local time of day)
// of the tick that took it: a program thread that stops ticking leaves it
// standing while scrapes go on.
TEST_F(MetricsPublisherTest, TheSnapshotCarriesItsTicksWallTime) {
  BuildOne();  // 2026-03-14 10:20:00 local, UTC+9
  Run(1.0, {kToneDevice}, kPublisherRate);
  const double first =
      static_cast<double>(EpochMsFromDateTime(DateTime{2026, 3, 14, 1, 20, 1, 0})) / 1000.0;
  EXPECT_EQ(SeriesValue(Scrape(), "varn_last_tick_timestamp_seconds"), first);
  clock.Advance(30.0);  // no tick meanwhile
  EXPECT_EQ(SeriesValue(Scrape(), "varn_last_tick_timestamp_seconds"), first);
  TickAfter(0.0);
  EXPECT_EQ(SeriesValue(Scrape(), "varn_last_tick_timestamp_seconds"), first + 30.0);
}

// The hour's integrated loudness, as its hourly line gives it, from the top
// of the hour on; nothing before, and nothing while the line is stopped.
TEST_F(MetricsPublisherTest, TheLastHoursLoudnessAppearsOnceAnHourHasEnded) {
  clock.Set(DateTime{2026, 3, 14, 10, 59, 54, 0});
  Build("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\nArcOn_1=0\n");
  engine->BeginRunning(true);
  const std::string series = "varn_loudness_last_hour_lufs{channel=\"1\"}";
  Run(5.0, {kToneDevice}, kPublisherRate);
  EXPECT_TRUE(std::isnan(SeriesValue(Scrape(), series)));
  Run(2.0, {kToneDevice}, kPublisherRate);  // past 11:00:00
  const double lastHour = SeriesValue(Scrape(), series);
  EXPECT_NEAR(lastHour, -20.0, 0.3);  // a -20 dBFS stereo sine
  std::string line;
  for (const std::string& t : EventTexts())
    if (t.starts_with("ch1 ラウドネス I ")) line = t;
  ASSERT_FALSE(line.empty()) << Events();
  EXPECT_EQ(line.substr(std::string("ch1 ラウドネス I ").size(), 5), FormatFixed(lastHour, 1));
  engine->StopChannel(0);
  TickAfter(1.0);
  EXPECT_TRUE(std::isnan(SeriesValue(Scrape(), series)));
}

}  // namespace
}  // namespace varn::test
