// The update tick: its timer, the watchdog, the separator line, commands
// between ticks, settings reloads (the dialogs' and SIGHUP's) and the top
// of the hour.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "archive/wav_file.h"
#include "engine/engine_fixture.h"

namespace varn::test {
namespace {

constexpr int kRate = 8000;

class UpdateTickTest : public EngineFixture {
 protected:
  void BuildTwo(const std::string& extra = "") {
    Build(
        "NumRec=2\nDeviceName_1=Sim Ramp\nDeviceName_2=Sim Tone 1kHz\nRecFreq_1=8000\n"
        "RecFreq_2=8000\nBitRate_1=0\nBitRate_2=0\nArcOn_2=0\n" +
        extra);
    engine->BeginRunning(false);
  }
  // The left samples of a stereo 16-bit WAV archive file.
  static std::vector<int16_t> LeftSamples(const std::string& path) {
    const WavInfo info = ReadWavInfo(path);
    EXPECT_EQ(info.Valid, 1) << path;
    const std::vector<uint8_t> bytes = ReadBytes(path);
    std::vector<int16_t> left;
    for (size_t i = static_cast<size_t>(info.DataOffset); i + 3 < bytes.size(); i += 4)
      left.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    EXPECT_EQ(info.DataSize, static_cast<int64_t>(left.size()) * 4) << path;
    return left;
  }
  std::vector<std::string> ArchiveFiles(int ch) const {
    std::vector<std::string> files;
    const std::string folder = dir / ("data/ch" + std::to_string(ch + 1));
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
  }
};

TEST_F(UpdateTickTest, EachTickReArmsOnceAndATickAskedForInsideATickDoesNothing) {
  BuildTwo();
  engine->StartChannel(0);
  Run(0.2, {kRampDevice}, kRate);
  int nested = 0;
  uint64_t ticksSeen = 0;
  view.onMeter = [&](int) {
    ++nested;
    ticksSeen = engine->Stats().ticks;
    engine->Tick();  // from inside the tick: nothing happens
  };
  Feed(kRampDevice, kRate / 10);
  const uint64_t ticksBefore = engine->Stats().ticks;
  const int armsBefore = timer.ArmCount();
  TickAfter(0.1);
  EXPECT_GT(nested, 0);
  EXPECT_EQ(ticksSeen, ticksBefore);  // the nested call did not count as a tick
  EXPECT_EQ(engine->Stats().ticks, ticksBefore + 1);
  EXPECT_EQ(timer.ArmCount(), armsBefore + 1);
  EXPECT_TRUE(timer.Armed());
}

TEST_F(UpdateTickTest, TheWatchdogReportsAStallAndTheSeparatorClosesABurst) {
  BuildTwo();  // the start line is the first of a burst
  TickAfter(1.0);
  TickAfter(1.0);
  EXPECT_EQ(CountEvents("-----------------------------"), 0);
  TickAfter(1.5);
  TickAfter(0.6);
  TickAfter(1.0);
  EXPECT_EQ(CountEvents("-----------------------------"), 1);
  TickAfter(12.5);
  EXPECT_EQ(CountEvents("制御戻らず 12.500"), 1);
  TickAfter(0.01);
  EXPECT_EQ(CountEvents("制御戻らず"), 1);
}

TEST_F(UpdateTickTest, AChannelStoppedBetweenTicksIsLeftAloneAndItsViewsCleared) {
  BuildTwo();
  engine->StartChannel(0);
  engine->StartChannel(1);
  Run(0.2, {kRampDevice, kToneDevice}, kRate);
  ASSERT_GT(view.meters[1], 0);
  view.resets.clear();
  Feed(kRampDevice, kRate / 2);
  Feed(kToneDevice, kRate / 2);
  // A command that came in during the last tick runs after it, here.
  engine->StopChannel(1);
  const int metersBefore = view.meters[1];
  const int meters0Before = view.meters[0];
  TickAfter(0.5);
  EXPECT_FALSE(engine->Capturing(1));
  EXPECT_TRUE(engine->Capturing(0));
  EXPECT_GT(view.meters[0], meters0Before);
  EXPECT_EQ(view.meters[1], metersBefore);  // never analysed after its stop
  EXPECT_EQ(view.resets, std::vector<int>{1});
}

TEST_F(UpdateTickTest, ASettingsReloadRestartsRunningChannelsOneAfterAnotherWithAPause) {
  BuildTwo();
  engine->StartChannel(0);
  engine->StartChannel(1);
  WriteSetting("TimerUpdateInt", "25");
  WriteSetting("MaxGateLevel_1", "-3");
  engine->GetMiscSetting();
  // The settings apply at once; the restarts follow on the ticks, so the
  // window goes on meanwhile.
  EXPECT_FLOAT_EQ(engine->Misc().monitoring.maxGateLevel, -3.0f);
  EXPECT_EQ(timer.Interval(), 25);
  EXPECT_TRUE(timer.Armed());
  EXPECT_FALSE(engine->Capturing(0));
  EXPECT_TRUE(engine->RestartPending(0));
  EXPECT_TRUE(view.recordButton[0]);  // its button stays on through the pause
  EXPECT_TRUE(engine->Capturing(1));
  TickAfter(0.1);
  EXPECT_FALSE(engine->Capturing(0));
  TickAfter(0.1);  // 200 ms: channel 1 comes back, channel 2 goes down
  EXPECT_TRUE(engine->Capturing(0));
  EXPECT_FALSE(engine->Capturing(1));
  TickAfter(0.2);
  EXPECT_TRUE(engine->Capturing(1));
  const std::vector<std::string> texts = EventTexts();
  std::vector<std::string> tail(texts.end() - 6, texts.end());
  // Each stop is followed by its run's loudness, which the archive worker
  // measures to the last block.
  for (int i : {1, 4}) {
    const size_t at = tail[static_cast<size_t>(i)].find(" I ");
    ASSERT_NE(at, std::string::npos) << tail[static_cast<size_t>(i)];
    tail[static_cast<size_t>(i)].resize(at);
  }
  const std::vector<std::string> expected = {"ch1 録音停止", "ch1 ラウドネス", "ch1 録音開始",
                                             "ch2 録音停止", "ch2 ラウドネス", "ch2 録音開始"};
  EXPECT_EQ(tail, expected);

  // Stopped by hand during its pause, a channel stays stopped.
  engine->GetMiscSetting();
  engine->ToggleChannels(0, 0);
  EXPECT_FALSE(view.recordButton[0]);
  TickAfter(0.3);
  EXPECT_FALSE(engine->Capturing(0));
  TickAfter(0.3);
  EXPECT_TRUE(engine->Capturing(1));
}

TEST_F(UpdateTickTest, AReloadRestartsOnlyTheChannelsWhoseCaptureSettingsChanged) {
  BuildTwo();
  engine->StartChannel(0);
  engine->StartChannel(1);
  Run(1.0, {kRampDevice, kToneDevice}, kRate);
  const std::string path = engine->Channel(0).archive.CurrentPath;
  const size_t eventsBefore = EventTexts().size();

  SettingsReload reload = engine->ReloadSettings();  // nothing changed
  EXPECT_TRUE(reload.restarting.empty());
  EXPECT_TRUE(reload.retuned.empty());
  EXPECT_EQ(reload.storedChannelCount, 2);
  EXPECT_FALSE(engine->RestartPending(0) || engine->RestartPending(1));

  WriteSetting("RecFreq_2", "16000");
  WriteSetting("ChName_1", "Studio A");
  WriteSetting("NumRec", "3");
  reload = engine->ReloadSettings();
  EXPECT_EQ(reload.restarting, std::vector<int>{1});
  EXPECT_EQ(reload.storedChannelCount, 3);
  EXPECT_EQ(engine->ChannelCount(), 2);
  EXPECT_EQ(engine->Channel(0).name, "Studio A");
  EXPECT_TRUE(engine->Capturing(0));
  EXPECT_TRUE(engine->RestartPending(1));
  Run(1.0, {kRampDevice, kToneDevice}, kRate);
  EXPECT_TRUE(engine->Capturing(1));
  EXPECT_EQ(engine->Channel(1).capture.SampleRate, 16000);

  const std::vector<std::string> texts = EventTexts();
  std::vector<std::string> since(texts.begin() + static_cast<std::ptrdiff_t>(eventsBefore),
                                 texts.end());
  ASSERT_EQ(since.size(), 3u);
  EXPECT_EQ(since[0], "ch2 録音停止");
  EXPECT_TRUE(since[1].starts_with("ch2 ラウドネス")) << since[1];
  EXPECT_EQ(since[2], "ch2 録音開始");

  // Channel 1 recorded on into the file it had: one file, the ramp unbroken.
  EXPECT_EQ(engine->Channel(0).archive.CurrentPath, path);
  engine->CloseChannels();
  const std::vector<std::string> files = ArchiveFiles(0);
  ASSERT_EQ(files.size(), 1u);
  const std::vector<int16_t> left = LeftSamples(files[0]);
  EXPECT_GT(left.size(), static_cast<size_t>(kRate * 3 / 2));
  for (size_t i = 1; i < left.size(); ++i) {
    const auto expected = static_cast<int16_t>(left[0] + static_cast<int>(i));
    ASSERT_EQ(std::max<int16_t>(expected, -32767), left[i]) << "frame " << i;
  }
}

TEST_F(UpdateTickTest, ChangedMonitoringSettingsApplyToRunningChannelsInPlace) {
  Build(
      "NumRec=2\nDeviceName_1=Sim Silence\nDeviceName_2=Sim Tone 1kHz\nRecFreq_1=8000\n"
      "RecFreq_2=8000\nBitRate_1=0\nBitRate_2=0\nArcOn_1=0\nArcOn_2=0\n");
  engine->BeginRunning(false);
  engine->StartChannel(0);
  engine->StartChannel(1);
  Run(1.0, {kSilenceDevice, kToneDevice}, kRate);
  ASSERT_EQ(CountEvents("ch1 Lch レベルDOWN"), 1);
  ASSERT_EQ(CountEvents("ch2 Lch レベルUP"), 0);

  WriteSetting("MaxGateLevel_1", "-30");  // below the -20 dBFS tone
  WriteSetting("MinGateSpan_1", "500");
  const SettingsReload reload = engine->ReloadSettings();
  EXPECT_TRUE(reload.restarting.empty());
  EXPECT_EQ(reload.retuned, (std::vector<int>{0, 1}));
  EXPECT_EQ(engine->Channel(0).analysis.lowLevel.WindowLength(), 4000);
  Run(1.0, {kSilenceDevice, kToneDevice}, kRate);
  EXPECT_EQ(CountEvents("ch2 Lch レベルUP"), 1);
  // The silent line was reported once and stays reported, across the new window.
  EXPECT_EQ(CountEvents("ch1 Lch レベルDOWN"), 1);
  EXPECT_EQ(CountEvents("録音停止"), 0);
  EXPECT_EQ(CountEvents("録音開始"), 2);
}

TEST_F(UpdateTickTest, AReloadEndsADefaultDeviceStandInOnceFallbackIsOff) {
  BuildTwo();
  WriteSetting("DeviceName_2", "Line That Is Not There");
  engine->StartChannel(0);
  ASSERT_TRUE(engine->StartChannel(1));
  ASSERT_TRUE(engine->Channel(1).onDefaultDevice);
  WriteSetting("DeviceFallback", "0");
  EXPECT_EQ(engine->ReloadSettings().restarting, std::vector<int>{1});
  TickAfter(0.2);
  EXPECT_FALSE(engine->Capturing(1));
  EXPECT_TRUE(engine->Channel(1).awaitingDevice);  // for its own device
  EXPECT_TRUE(engine->Capturing(0));
}

TEST_F(UpdateTickTest, UnattendedAChannelThatCannotRestartIsTriedAgainUntilItStarts) {
  unattended = true;
  BuildTwo();
  engine->StartChannel(0);
  engine->StartChannel(1);
  WriteSetting("RecFreq_2", "16000");  // a restart, onto a device that refuses to open
  sim.FailDevice(true, kToneDevice, "unplugged");
  EXPECT_EQ(engine->ReloadSettings().restarting, std::vector<int>{1});
  TickAfter(0.2);
  EXPECT_FALSE(engine->Capturing(1));
  EXPECT_TRUE(engine->Channel(1).awaitingDevice);
  sim.RestoreDevice(true, kToneDevice);
  TickAfter(kDeviceRetrySec);
  EXPECT_TRUE(engine->Capturing(1));
}

// The top of the hour, reached in a stall over its first second, with local
// time a whole and a half hour away from UTC.
class HourTest : public UpdateTickTest, public ::testing::WithParamInterface<int> {};

TEST_P(HourTest, ANewFileStartsForArchivingChannelsAndTheAudioContinuesAcrossIt) {
  clock.Set(DateTime{2026, 3, 14, 10, 59, 58, 0}, GetParam());
  BuildTwo("BufferSec_1=6\n");  // room for the stall
  engine->StartChannel(0);
  engine->StartChannel(1);
  Run(1.5, {kRampDevice, kToneDevice}, kRate);
  Feed(kRampDevice, kRate * 3);  // 3 s that the stall leaves in the ring
  Feed(kToneDevice, kRate * 3);
  TickAfter(3.0);  // 11:00:02.5: a new hour, first tick after the stall
  Run(1.5, {kRampDevice, kToneDevice}, kRate);
  engine->CloseChannels();

  const std::vector<std::string> files = ArchiveFiles(0);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_NE(files[0].find("20260314105958.wav"), std::string::npos) << files[0];
  EXPECT_NE(files[1].find("20260314110002.wav"), std::string::npos) << files[1];
  EXPECT_TRUE(ArchiveFiles(1).empty());  // not archiving: no file at the hour either

  std::vector<int16_t> all = LeftSamples(files[0]);
  const std::vector<int16_t> second = LeftSamples(files[1]);
  ASSERT_FALSE(all.empty());
  ASSERT_FALSE(second.empty());
  all.insert(all.end(), second.begin(), second.end());
  // The ramp counts on frame by frame (the archive keeps -32768 as -32767).
  for (size_t i = 1; i < all.size(); ++i) {
    const auto expected = static_cast<int16_t>(all[0] + static_cast<int>(i));
    ASSERT_EQ(std::max<int16_t>(expected, -32767), all[i]) << "frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(UtcOffsets, HourTest, ::testing::Values(9 * 3600, -(5 * 3600 + 1800)));

}  // namespace
}  // namespace varn::test
