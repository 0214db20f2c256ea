// The headless monitor end to end on virtual devices, as an operator finds
// it: the event lines on standard output and in the event file, the archive
// files after a run, a stop by SIGTERM, a reload by SIGHUP, a second
// instance on the same folder, and a crash in the middle of WAV archiving.

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "archive/wav_file.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "varn_run.h"

namespace varn {
namespace {

using Texts = std::vector<std::string>;

constexpr const char* kStartLine = "**************起動*****************";
constexpr const char* kEndLine = "**************正常終了*****************";
constexpr double kRate = 44100.0;
// Capture hands over whole buffers of 13824 frames; the archive lags the
// run by up to one of them.
constexpr double kCaptureBufferSec = 13824 / kRate;
// Launch to channel start, generously.
constexpr double kStartupSec = 0.2;
// A WAV archive's disk buffer holds four seconds before it is written out.
constexpr double kDiskBufferSec = 4.0;

// A WAV archive as any reader sees it: 16-bit stereo at 44100 Hz, and both
// size fields agree with the file's length.
WavInfo CheckedWav(const std::string& path) {
  const WavInfo info = ReadWavInfo(path);
  EXPECT_EQ(info.Valid, 1) << path;
  const auto bytes = test::ReadBytes(path);
  EXPECT_GE(bytes.size(), 44u) << path;
  if (info.Valid != 1 || bytes.size() < 44) return info;
  EXPECT_EQ(test::Le32(bytes, 4), bytes.size() - 8) << path;
  EXPECT_EQ(info.DataSize, static_cast<int64_t>(bytes.size()) - info.DataOffset) << path;
  EXPECT_EQ(info.SampleRate, 44100);
  EXPECT_EQ(info.Channels, 2);
  EXPECT_EQ(info.BitsPerSample, 16);
  return info;
}

std::vector<int16_t> WavSamples(const std::string& path, const WavInfo& info) {
  const auto bytes = test::ReadBytes(path);
  std::vector<int16_t> s(static_cast<size_t>(info.DataSize) / 2);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int16_t>(test::Le16(bytes, static_cast<size_t>(info.DataOffset) + 2 * i));
  return s;
}

class HeadlessSimTest : public ::testing::Test {
 protected:
  void Settings(const std::string& conf) { test::WriteText(app / "varn.ini", "[conf]\n" + conf); }
  test::TempDir app;
};

TEST_F(HeadlessSimTest, ARunLogsItsEventsInOrderAndArchivesItsLength) {
  Settings("NumRec=2\nDeviceName_1=Sim Tone 1kHz\nBitRate_1=0\nDeviceName_2=Sim Silence\n");
  test::VarnRun run(app.Path(), {"--headless", "--duration", "4", "--audio", "sim"});
  ASSERT_EQ(run.Wait(20), 0) << run.Err();

  const auto lines = test::Lines(test::EventFiles(app.Path()));
  EXPECT_EQ(test::Lines(run.Out()), lines);
  Texts texts;
  for (const auto& t : test::EventTexts(lines))
    // ch1's steady tone may log "FFT変化" at the default sensitivity, and a
    // quiet spell of 3 s closes with a dashed line: both have tests of their own.
    if (t.find("FFT変化") == std::string::npos && !t.starts_with("-----")) texts.push_back(t);
  // Each stop is followed by its run's loudness (the -20 dBFS tone, and
  // silence) once the archive worker has measured the run to its end; the
  // two workers' lines may come in either order.
  ASSERT_EQ(texts.size(), 10u);
  std::sort(texts.begin() + 7, texts.begin() + 9);
  EXPECT_EQ(texts,
            (Texts{"ch1 録音開始", "ch2 録音開始", kStartLine, "ch2 Lch レベルDOWN -99.0db(RMS)",
                   "ch2 Rch レベルDOWN -99.0db(RMS)", "ch1 録音停止", "ch2 録音停止",
                   "ch1 ラウドネス I -20.0LUFS LRA 0.0LU TP -20.0dBTP",
                   "ch2 ラウドネス I ---LUFS LRA ---LU TP ---dBTP", kEndLine}));

  const auto wavs = test::ArchiveFiles(app.Path(), 1);
  ASSERT_EQ(wavs.size(), 1u);
  EXPECT_TRUE(wavs[0].ends_with(".wav")) << wavs[0];
  const WavInfo wav = CheckedWav(wavs[0]);
  const double wavSec = wav.FrameCount / kRate;
  EXPECT_GT(wavSec, 4.0 - kCaptureBufferSec - kStartupSec);
  EXPECT_LE(wavSec, run.Seconds());
  // The tone itself, at -20 dBFS, and not silence.
  int peak = 0;
  for (const int16_t s : WavSamples(wavs[0], wav)) peak = std::max(peak, std::abs(s));
  EXPECT_NEAR(peak, 3277, 40);

  const auto mp3s = test::ArchiveFiles(app.Path(), 2);
  ASSERT_EQ(mp3s.size(), 1u);
  ASSERT_TRUE(mp3s[0].ends_with(".mp3")) << mp3s[0];
  ASSERT_EQ(test::RunCommand("mpg123 -q -w " + app / "decoded.wav " + mp3s[0] + " 2>&1").exitCode,
            0);
  const WavInfo decoded = ReadWavInfo(app / "decoded.wav");
  ASSERT_EQ(decoded.Valid, 1);
  EXPECT_EQ(decoded.SampleRate, 44100);
  // Only whole capture buffers are encoded, so the last, partly filled one
  // is missing; the encoder's delay adds up to two frames of 1152.
  const double mp3Sec = decoded.FrameCount / kRate;
  EXPECT_GT(mp3Sec, 4.0 - 2 * kCaptureBufferSec - kStartupSec);
  EXPECT_LE(mp3Sec, run.Seconds() + 2 * 1152 / kRate);
}

TEST_F(HeadlessSimTest, SigtermEndsTheRunCleanlyAndASecondInstanceIsTurnedAway) {
  Settings("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nArcOn_1=0\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim"});
  ASSERT_TRUE(run.WaitForOutput(kStartLine, 10)) << run.Err();

  test::VarnRun second(app.Path(), {"--headless", "--audio", "sim"});
  EXPECT_EQ(second.Wait(10), 3);
  EXPECT_EQ(second.Out(), "");
  const auto complaint = test::Lines(second.Err());
  ASSERT_EQ(complaint.size(), 1u) << second.Err();
  EXPECT_NE(complaint[0].find("another varn is running"), std::string::npos) << complaint[0];

  std::this_thread::sleep_for(std::chrono::duration<double>(2.0 - run.Seconds()));
  ASSERT_TRUE(run.Running()) << run.Err();
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(5), 0) << run.Err();
  const std::string events = test::EventFiles(app.Path());
  const Texts texts = test::EventTexts(test::Lines(events));
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ(Texts(texts.end() - 3, texts.end() - 2), Texts{"ch1 録音停止"});
  EXPECT_EQ(texts.end()[-2].rfind("ch1 ラウドネス I ", 0), 0u) << texts.end()[-2];
  EXPECT_EQ(texts.back(), kEndLine);
  EXPECT_EQ(test::CountLines(events, kStartLine), 1);  // none from the second instance
  EXPECT_EQ(test::Lines(run.Out()), test::Lines(events));
  EXPECT_TRUE(test::ArchiveFiles(app.Path(), 1).empty());
}

// A reload as `systemctl reload` asks for it: the monitor runs on, and only
// the channel whose capture settings changed restarts.
TEST_F(HeadlessSimTest, SighupReloadsTheSettingsAndRestartsOnlyTheChangedChannel) {
  Settings(
      "NumRec=2\nDeviceName_1=Sim Tone 1kHz\nArcOn_1=0\nDeviceName_2=Sim Silence\nArcOn_2=0\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim"});
  ASSERT_TRUE(run.WaitForOutput(kStartLine, 10)) << run.Err();
  for (const std::string change : {"RecFreq_2 48000", "NumRec 3"})
    ASSERT_EQ(test::RunCommand(std::string(VARN_EXE) + " --app-folder " + app.Path() +
                               " config set " + change)
                  .exitCode,
              0);
  run.Signal(SIGHUP);
  ASSERT_TRUE(run.WaitForOutput("ch2 録音開始", 10, 2)) << run.Err();
  ASSERT_TRUE(run.Running()) << run.Err();
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(5), 0) << run.Err();

  const std::string events = test::EventFiles(app.Path());
  EXPECT_EQ(test::CountLines(events, "ch1 録音開始"), 1) << events;
  EXPECT_EQ(test::CountLines(events, "ch1 録音停止"), 1) << events;  // at the end only
  EXPECT_EQ(test::CountLines(events, "ch2 録音停止"), 2) << events;
  EXPECT_EQ(test::CountLines(events, kEndLine), 1) << events;
  const std::string diagnostics = test::DiagnosticsFiles(app.Path());
  EXPECT_EQ(test::CountLines(diagnostics, "Settings reloaded: ch2 restarts"), 1) << diagnostics;
  EXPECT_EQ(test::CountLines(diagnostics, "NumRec is 3 in the settings file"), 1) << diagnostics;
}

// Killed outright, the monitor leaves WAV files that play: the header is
// brought up to date after every write, and only what the disk buffer held
// is lost.
TEST_F(HeadlessSimTest, AKillDuringWavArchivingLeavesValidFiles) {
  Settings(
      "NumRec=2\nDeviceName_1=Sim Ramp\nBitRate_1=0\nDeviceName_2=Sim Tone 1kHz\nBitRate_2=0\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim"});
  ASSERT_TRUE(run.WaitForOutput(kStartLine, 10)) << run.Err();
  std::this_thread::sleep_for(std::chrono::duration<double>(6.0 - run.Seconds()));
  run.Signal(SIGKILL);
  EXPECT_EQ(run.Wait(5), -1);
  const double ranSec = run.Seconds();

  for (int ch = 1; ch <= 2; ++ch) {
    SCOPED_TRACE("ch" + std::to_string(ch));
    const auto files = test::ArchiveFiles(app.Path(), ch);
    ASSERT_EQ(files.size(), 1u);
    const WavInfo wav = CheckedWav(files[0]);
    const double wavSec = wav.FrameCount / kRate;
    EXPECT_GE(wavSec, ranSec - kDiskBufferSec - kCaptureBufferSec - kStartupSec);
    EXPECT_LE(wavSec, ranSec);
    if (ch != 1) continue;
    // The ramp counts on frame by frame: nothing in the file is torn. The
    // archive copy saturates -32768 to -32767.
    const auto s = WavSamples(files[0], wav);
    ASSERT_GE(s.size(), 4u);
    auto counter = static_cast<uint16_t>(s[0] == -32767 && s[2] == -32767 ? -32768 : s[0]);
    for (size_t i = 0; i + 1 < s.size(); i += 2, ++counter) {
      const auto expected =
          static_cast<int16_t>(std::max<int>(static_cast<int16_t>(counter), -32767));
      ASSERT_EQ(s[i], expected) << "frame " << i / 2;
      ASSERT_EQ(s[i + 1], expected) << "frame " << i / 2;
    }
  }
}

// A kill leaves the run marker behind: the next start writes when the
// killed run last ticked, before anything of its own; a clean end removes it.
TEST_F(HeadlessSimTest, ARunAfterAKillSaysWhenThePreviousOneStopped) {
  Settings("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nArcOn_1=0\n");
  {
    test::VarnRun run(app.Path(), {"--headless", "--audio", "sim"});
    ASSERT_TRUE(run.WaitForOutput(kStartLine, 10)) << run.Err();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    run.Signal(SIGKILL);
    EXPECT_EQ(run.Wait(5), -1);
  }
  const Texts killed = test::EventTexts(test::Lines(test::EventFiles(app.Path())));
  const std::string lastTime = test::Lines(test::EventFiles(app.Path())).back().substr(0, 19);
  test::VarnRun again(app.Path(), {"--headless", "--audio", "sim", "--duration", "1"});
  ASSERT_EQ(again.Wait(20), 0) << again.Err();
  const auto lines = test::Lines(again.Out());
  ASSERT_GE(lines.size(), 2u);
  const std::regex unclean(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d \d{4}/\d\d/\d\d \d\d:\d\d:\d\d )"
                           R"(前回異常終了 (\d{4}/\d\d/\d\d \d\d:\d\d:\d\d))");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, unclean)) << lines[0];
  // The killed run ticked until it was killed: its marker is at most a
  // second older than the kill, so no older than its own last line.
  EXPECT_GE(m[1].str(), lastTime) << killed.size();
  EXPECT_FALSE(std::filesystem::exists(app / "varn.running"));
}

// A display that is named but does not answer: said on standard error,
// then the monitor without windows, as with no display at all.
TEST_F(HeadlessSimTest, AnUnreachableDisplayIsNamedAndTheMonitorRunsWithoutWindows) {
  Settings("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nArcOn_1=0\n");
  test::VarnRun run(app.Path(), {"--audio", "sim", "--duration", "1"},
                    {"DISPLAY=:9871", "QT_QPA_PLATFORM="});
  EXPECT_EQ(run.Wait(20), 0) << run.Err();
  EXPECT_NE(run.Err().find("varn: cannot open display :9871 ("), std::string::npos) << run.Err();
  EXPECT_NE(run.Err().find("running the monitor without windows"), std::string::npos);
  EXPECT_EQ(test::CountLines(run.Out(), kEndLine), 1) << run.Out();
}

}  // namespace
}  // namespace varn
