// What a station shows when it must prove what went out: a line records
// only its own device (or says it records the default one), a failed start
// leaves nothing behind, and the archive keeps true time through a stall
// and through steps of the wall clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "archive/wav_file.h"
#include "engine/engine_fixture.h"
#include "support/signal_generator.h"

namespace varn::test {
namespace {

constexpr int kTruthRate = 8000;

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}

// The left samples of a WAV file of the ramp device (a counter, +1 a frame).
std::vector<int16_t> LeftSamples(const std::string& path) {
  const WavInfo info = ReadWavInfo(path);
  EXPECT_EQ(info.Valid, 1) << path;
  if (info.Valid != 1) return {};
  const std::vector<uint8_t> bytes = ReadBytes(path);
  std::vector<int16_t> left;
  for (size_t at = static_cast<size_t>(info.DataOffset);
       at + 4 <= bytes.size() && at < static_cast<size_t>(info.DataOffset + info.DataSize); at += 4)
    left.push_back(static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8));
  return left;
}

class RecordingTruthTest : public EngineFixture {
 protected:
  std::string Folder(int ch) const { return dir / ("data/ch" + std::to_string(ch) + "/"); }
};

TEST_F(RecordingTruthTest, AMissingNamedDeviceRecordsTheDefaultAtAStartAndSaysSo) {
  Build("DeviceName_1=Studio B Interface\nRecFreq_1=8000\nBitRate_1=0\n");
  engine->BeginRunning(false);
  ASSERT_TRUE(engine->StartChannel(0));
  TickAfter(0.01);
  EXPECT_EQ(engine->Channel(0).openedDevice, "Sim Programme");
  EXPECT_TRUE(engine->Channel(0).onDefaultDevice);
  const std::vector<std::string> texts = EventTexts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "ch1 録音開始");
  EXPECT_EQ(texts.back(), "ch1 既定デバイスで録音");
  EXPECT_NE(Diagnostics().find("Input device missing ch1: \"Studio B Interface\" is not among the "
                               "input devices; recording the default \"Sim Programme\""),
            std::string::npos)
      << Diagnostics();
}

TEST_F(RecordingTruthTest, WithoutFallbackALineWaitsForItsDeviceAndRecordsNothing) {
  Build("DeviceFallback=0\nDeviceName_1=Studio B Interface\nRecFreq_1=8000\nBitRate_1=0\n");
  engine->BeginRunning(false);
  EXPECT_FALSE(engine->StartChannel(0));
  EXPECT_TRUE(view.recordButton[0]);  // waiting for its device, not stopped
  for (int i = 0; i < 3; ++i) TickAfter(5.1);
  EXPECT_FALSE(engine->Capturing(0));
  EXPECT_EQ(CountEvents("ch1 入力デバイス異常"), 1);  // once, not at every try
  EXPECT_EQ(CountEvents("録音開始"), 0);
  EXPECT_EQ(CountEvents("ラウドネス"), 0);
  EXPECT_TRUE(FilesIn(Folder(1)).empty());
}

TEST_F(RecordingTruthTest, AStartThatFailsCreatesNothing) {
  Build("");
  sim.FailDevice(true, kDefaultDevice, "unplugged");  // the device refuses to open
  engine->BeginRunning(false);
  EXPECT_FALSE(engine->StartChannel(0));
  for (int i = 0; i < 3; ++i) TickAfter(0.1);
  EXPECT_TRUE(FilesIn(Folder(1)).empty());
  EXPECT_EQ(CountEvents("録音開始"), 0);
  EXPECT_EQ(CountEvents("ラウドネス"), 0);
}

// A line whose device went away must never be replaced by another line's
// audio: its retries open its own device only, and the default device only
// when the lost run had started on it.
class LostDeviceTest : public RecordingTruthTest {
 protected:
  void SetUp() override {
    files = dir / "files";
    std::filesystem::create_directories(files);
    WriteWav(files + "/line.wav", kTruthRate, 2, Samples(2 * kTruthRate, 1000));
    auto service = std::make_unique<SimWaveService>(SimPace::Manual, files);
    own = service.get();
    UseAudio(std::move(service));
    archiveThread = false;
  }
  void Produce(int device, double seconds) {
    for (int i = 0; i < static_cast<int>(seconds * 100); ++i) {
      own->Produce(device, kTruthRate / 100);
      TickAfter(0.01);
    }
  }
  std::string files;
  SimWaveService* own = nullptr;
};

TEST_F(LostDeviceTest, AfterALossOnlyTheLinesOwnDeviceMayTakeItsPlace) {
  Build("DeviceName_1=Sim File line.wav\nRecFreq_1=8000\nBitRate_1=0\n");
  engine->BeginRunning(false);
  const int device = own->DeviceCount(true) - 1;
  ASSERT_TRUE(engine->StartChannel(0));
  Produce(device, 0.5);
  // Unplugged: the device fails and leaves the list.
  own->FailDevice(true, device, "unplugged");
  std::filesystem::rename(files + "/line.wav", dir / "line.wav");
  TickAfter(0.01);
  ASSERT_FALSE(engine->Capturing(0));
  for (int i = 0; i < 4; ++i) TickAfter(5.1);
  // The default device is there all along; it is never opened.
  EXPECT_FALSE(engine->Capturing(0));
  EXPECT_EQ(CountEvents("ch1 録音開始"), 1);
  EXPECT_EQ(CountEvents("既定デバイスで録音"), 0);
  EXPECT_TRUE(view.recordButton[0]);  // still waiting for its device

  std::filesystem::rename(dir / "line.wav", files + "/line.wav");
  ASSERT_EQ(own->DeviceCount(true), device + 1);  // plugged in again
  own->RestoreDevice(true, device);
  TickAfter(5.1);
  EXPECT_TRUE(engine->Capturing(0)) << Diagnostics();
  EXPECT_EQ(engine->Channel(0).openedDevice, "Sim File line.wav");
  EXPECT_EQ(CountEvents("ch1 入力デバイス異常"), 1);
}

TEST_F(LostDeviceTest, ARunThatStartedOnTheDefaultDeviceTriesTheDefaultAgain) {
  Build("DeviceName_1=Studio B Interface\nRecFreq_1=8000\nBitRate_1=0\n");
  engine->BeginRunning(false);
  ASSERT_TRUE(engine->StartChannel(0));
  own->FailDevice(true, kSimDefaultInput, "unplugged");
  TickAfter(0.01);
  ASSERT_FALSE(engine->Capturing(0));
  own->RestoreDevice(true, kSimDefaultInput);
  TickAfter(5.1);
  EXPECT_TRUE(engine->Capturing(0));
  EXPECT_EQ(CountEvents("ch1 既定デバイスで録音"), 2);  // said again for the new run
}

class TrueTimeTest : public RecordingTruthTest {
 protected:
  void BuildRamp() {
    Build("DeviceName_1=Sim Ramp\nRecFreq_1=8000\nBitRate_1=0\nInputTimeoutSec=2\n");
    engine->BeginRunning(false);
    ASSERT_TRUE(engine->StartChannel(0));
  }
  // Ticks every 10 ms for `seconds` while the device delivers nothing.
  void Stall(double seconds) {
    for (int i = 0; i < static_cast<int>(seconds * 100); ++i) TickAfter(0.01);
  }
};

// A stall is silence in the file at its place: every frame after it lies
// where its capture time says, and the event file says why it is silent.
TEST_F(TrueTimeTest, AStalledInputIsSilenceAtItsPlaceInTheFile) {
  BuildRamp();
  Run(1.0, {kRampDevice}, kTruthRate);
  Stall(4.0);
  Run(1.0, {kRampDevice}, kTruthRate);
  engine->StopChannel(0);
  TickAfter(0.01);
  EXPECT_EQ(CountEvents("ch1 入力途絶"), 1);
  EXPECT_EQ(CountEvents("ch1 入力再開 4.0秒"), 1);
  const std::vector<std::string> files = FilesIn(Folder(1));
  ASSERT_EQ(files.size(), 1u);
  const std::vector<int16_t> left = LeftSamples(Folder(1) + files[0]);
  // 6 s of time; the blocks still filling at the stop are not archived.
  ASSERT_GT(left.size(), 5.6 * kTruthRate);
  ASSERT_LE(left.size(), 6.0 * kTruthRate);
  // The ramp runs to the stall, silence fills it, and the ramp goes on
  // from where it stopped 4 s later: 8000 frames a second, within 0.1 s.
  size_t resume = 0;
  for (size_t f = 1; f < left.size(); ++f)
    if (left[f] != static_cast<int16_t>(left[f - 1] + 1)) {
      if (left[f] != 0 || left[f - 1] == 0) resume = f;
    }
  ASSERT_GT(resume, 0u);
  EXPECT_EQ(left[resume], static_cast<int16_t>(kTruthRate));  // the first frame after the stall
  EXPECT_NEAR(static_cast<double>(resume), 5.0 * kTruthRate, 0.1 * kTruthRate);
  EXPECT_EQ(left[kTruthRate - 1], static_cast<int16_t>(kTruthRate - 1));
  EXPECT_EQ(std::count(left.begin() + kTruthRate, left.begin() + static_cast<long>(resume), 0),
            static_cast<long>(resume) - kTruthRate);
}

// Steps of the wall clock (an NTP correction, the end of summer time) are
// not time passing: no stall, no watchdog, no resume; the running file ends
// and a new one begins under the new time, without silence between them.
TEST_F(TrueTimeTest, AWallClockStepIsANewFileAndNeverASilence) {
  BuildRamp();
  Run(1.0, {kRampDevice}, kTruthRate);
  clock.StepWall(-3600.0);
  Run(1.0, {kRampDevice}, kTruthRate);
  clock.StepWall(86400.0);
  Run(1.0, {kRampDevice}, kTruthRate);
  engine->StopChannel(0);
  TickAfter(0.01);
  for (const char* text : {"入力途絶", "入力再開", "制御戻らず", "音声欠落"})
    EXPECT_EQ(CountEvents(text), 0) << text;
  const std::vector<std::string> files = FilesIn(Folder(1));
  EXPECT_EQ(files, (std::vector<std::string>{"20260314092001.wav", "20260314102000.wav",
                                             "20260315092002.wav"}));
  std::vector<int16_t> all;
  for (const std::string& f : {files[1], files[0], files[2]}) {
    const std::vector<int16_t> left = LeftSamples(Folder(1) + f);
    all.insert(all.end(), left.begin(), left.end());
  }
  ASSERT_GT(all.size(), 2u * kTruthRate);
  for (size_t f = 1; f < all.size(); ++f)
    ASSERT_EQ(all[f], static_cast<int16_t>(all[f - 1] + 1)) << f;
  EXPECT_NE(ReadText(dir / "data/varn20260314.err").find("Wall clock stepped by -3600.000 s"),
            std::string::npos);
}

TEST_F(RecordingTruthTest, AnUncleanEndOfThePreviousRunIsWrittenBeforeTheStartLine) {
  WriteText(dir / "varn.ini", "[conf]\n");
  store.ChooseAtStartup();
  SetActiveStore(&store);
  EngineServices s;
  s.audio = &sim;
  s.clock = &clock;
  s.log = &log;
  s.timer = &timer;
  s.archiveThread = false;
  s.dataFolder = dir / "data/";
  s.uncleanEnd = "2026/03/14 10:17:31";
  engine = std::make_unique<Engine>(s);
  engine->Build();
  engine->BeginRunning(true);
  const std::vector<std::string> texts = EventTexts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "前回異常終了 2026/03/14 10:17:31");
  EXPECT_EQ(texts.back(), "**************起動*****************");
}

}  // namespace
}  // namespace varn::test
