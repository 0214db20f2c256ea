// The headless monitor on a PulseAudio server: a signal played into a null
// sink comes out of its monitor source as the events it should give and as
// the same samples in the archive; a device that goes away and comes back
// stops and restarts its channel while the monitor runs on. Without
// VARN_TEST_PULSE (test.sh sets it) these tests skip.

#include <signal.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <chrono>
#include <regex>
#include <thread>

#include "archive/wav_file.h"
#include "support/private_pulse_server.h"
#include "support/run_command.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"
#include "varn_run.h"

namespace varn {
namespace {

// A null sink's monitor delivers digital silence: no loudness figure exists.
constexpr const char* kSilentRunLoudness = "ch1 ラウドネス I ---LUFS LRA ---LU TP ---dBTP";

using Texts = std::vector<std::string>;

class HeadlessPulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* wanted = std::getenv("VARN_TEST_PULSE");
    if (!wanted || !*wanted) GTEST_SKIP() << "VARN_TEST_PULSE is not set: no test server";
  }
  void Settings(const std::string& conf) { test::WriteText(app / "varn.ini", "[conf]\n" + conf); }
  test::TempDir app;
};

// The first of `patterns` (regular expressions, in order) that `texts` do
// not hold after the ones before it; "" when they hold them all.
std::string MissingInOrder(const Texts& texts, const std::vector<std::string>& patterns) {
  auto t = texts.begin();
  for (const auto& p : patterns) {
    const std::regex re(p);
    t = std::find_if(t, texts.end(), [&](const std::string& s) { return std::regex_match(s, re); });
    if (t == texts.end()) return p;
    ++t;
  }
  return "";
}

// VarnNullB: the audio tests play into VarnNullA and may run at the same time.
TEST_F(HeadlessPulseTest, APlayedSignalGivesItsEventsAndItsSamplesInTheArchive) {
  constexpr int kRate = 48000;
  Settings(
      "NumRec=1\nDeviceName_1=Monitor of VarnNullB\nRecFreq_1=48000\nBitRate_1=0\n"
      "MaxGateLevel_1=-1\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "pulse"});
  // The monitor source gives silence once the sink's first block is done
  // (up to two seconds after a stream connects).
  ASSERT_TRUE(run.WaitForOutput("ch1 Rch レベルDOWN -99.0db(RMS)", 10)) << run.Out() << run.Err();

  // Silence (a new playback's first few milliseconds never reach the
  // monitor), a second of two tones whose first frame occurs nowhere
  // before, a full-scale burst, silence.
  const test::Samples tone = test::Interleave(test::Sine(kRate, 1000, 3277, kRate, 0.3),
                                              test::Sine(kRate, 441, 6500, kRate, 1.1));
  const test::Samples burst = test::Interleave(test::Sine(kRate, 1000, 32767, kRate / 5),
                                               test::Sine(kRate, 1000, 32767, kRate / 5));
  const test::Samples played = test::Concat(test::Concat(test::Silence(kRate), tone), burst);
  test::WriteWav(app / "played.wav", kRate, 2, test::Concat(played, test::Silence(kRate)));
  ASSERT_EQ(test::RunCommand("paplay -d varn_null_b " + app / "played.wav" + " 2>&1").exitCode, 0);
  EXPECT_TRUE(run.WaitForOutput("ch1 Rch レベルDOWN -99.0db(RMS)", 5, 2)) << run.Out();
  run.Signal(SIGTERM);
  ASSERT_EQ(run.Wait(10), 0) << run.Err();

  const Texts texts = test::EventTexts(test::Lines(test::EventFiles(app.Path())));
  for (const std::string side : {"Lch", "Rch"}) {
    const std::string ch1 = "ch1 " + side + " レベル";
    EXPECT_EQ(MissingInOrder(texts,
                             {ch1 + R"(UP -\d+\.\ddb\(RMS\))", ch1 + R"(UP 0\.0db\(Peak\))",
                              ch1 + R"(DOWN -\d+\.\ddb\(Peak\))", ch1 + R"(DOWN -99\.0db\(RMS\))"}),
              "")
        << test::EventFiles(app.Path());
  }

  const auto files = test::ArchiveFiles(app.Path(), 1);
  ASSERT_EQ(files.size(), 1u);
  const WavInfo wav = ReadWavInfo(files[0]);
  ASSERT_EQ(wav.Valid, 1);
  ASSERT_EQ(wav.SampleRate, kRate);
  const auto bytes = test::ReadBytes(files[0]);
  std::vector<int16_t> archived(static_cast<size_t>(wav.DataSize) / 2);
  for (size_t i = 0; i < archived.size(); ++i)
    archived[i] = static_cast<int16_t>(test::Le16(bytes, wav.DataOffset + 2 * i));
  size_t at = 0;
  while (at + 1 < archived.size() && !(archived[at] == tone[0] && archived[at + 1] == tone[1]))
    at += 2;
  const test::Samples signal = test::Concat(tone, burst);
  ASSERT_LE(at + signal.size(), archived.size()) << "the tone is not in the archive whole";
  for (size_t i = 0; i < signal.size(); ++i)
    ASSERT_EQ(archived[at + i], signal[i]) << "sample " << i << " (is the sink resampling?)";
}

TEST_F(HeadlessPulseTest, ADeviceThatGoesAwayAndComesBackStopsAndRestartsItsChannel) {
  test::PrivatePulseServer server("varn_gone", "VarnGone");
  ASSERT_TRUE(server.Running()) << "could not start a private PulseAudio server";
  // Below the silence floor of -99 dB: the sink's silence logs nothing.
  Settings("NumRec=1\nDeviceName_1=Monitor of VarnGone\nBitRate_1=0\nMinGateLevel_1=-100\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "pulse"},
                    {"PULSE_SERVER=" + server.Address()});
  ASSERT_TRUE(run.WaitForOutput("**************起動*****************", 10)) << run.Err();

  ASSERT_EQ(server.Pactl("unload-module module-null-sink"), 0);
  ASSERT_TRUE(run.WaitForOutput("ch1 録音停止", 2.5)) << run.Out();
  // The diagnostics file is written by the log's own thread: a moment later.
  EXPECT_TRUE(test::WaitFor(
      [&] {
        return test::CountLines(test::DiagnosticsFiles(app.Path()),
                                "Capture device failed ch1 (Monitor of VarnGone): ") == 1;
      },
      3))
      << test::DiagnosticsFiles(app.Path());

  ASSERT_EQ(server.Pactl("load-module module-null-sink sink_name=varn_gone "
                         "sink_properties=device.description=VarnGone"),
            0);
  ASSERT_TRUE(run.WaitForOutput("ch1 録音開始", 7, 2)) << run.Out();
  ASSERT_TRUE(run.Running());
  run.Signal(SIGTERM);
  ASSERT_EQ(run.Wait(10), 0) << run.Err();

  EXPECT_EQ(test::EventTexts(test::Lines(test::EventFiles(app.Path()))),
            (Texts{"ch1 録音開始", "**************起動*****************", "ch1 入力デバイス異常",
                   "ch1 録音停止", kSilentRunLoudness,
                   "-----------------------------",  // the retry comes 5 s later
                   "ch1 録音開始", "ch1 録音停止", kSilentRunLoudness,
                   "**************正常終了*****************"}));
  // One file per start, each a valid WAV file.
  const auto files = test::ArchiveFiles(app.Path(), 1);
  ASSERT_EQ(files.size(), 2u);
  for (const auto& f : files) {
    const WavInfo wav = ReadWavInfo(f);
    EXPECT_EQ(wav.Valid, 1) << f;
    EXPECT_EQ(wav.DataSize + wav.DataOffset, wav.FileSize) << f;
  }
}

// A line records only its own source: a name that matches none is replaced
// by the server's default only at a start, and the event file says so; with
// DeviceFallback=0 the line waits until its own source appears.
TEST_F(HeadlessPulseTest, AMissingSourceIsReplacedOnlyAtAStartAndOnlyWhenAllowed) {
  test::PrivatePulseServer server("varn_first", "VarnFirst");
  ASSERT_TRUE(server.Running()) << "could not start a private PulseAudio server";
  Settings("NumRec=2\nDeviceName_1=Studio B Interface\nDeviceName_2=Monitor of VarnLate\n"
           "BitRate_1=0\nBitRate_2=0\nMinGateLevel_1=-100\nMinGateLevel_2=-100\n");
  {
    test::VarnRun run(app.Path(), {"--headless", "--audio", "pulse"},
                      {"PULSE_SERVER=" + server.Address()});
    ASSERT_TRUE(run.WaitForOutput("ch1 既定デバイスで録音", 10)) << run.Out() << run.Err();
    ASSERT_TRUE(run.WaitForOutput("ch2 既定デバイスで録音", 10)) << run.Out();
    run.Signal(SIGTERM);
    ASSERT_EQ(run.Wait(10), 0) << run.Err();
  }
  EXPECT_EQ(test::CountLines(test::DiagnosticsFiles(app.Path()),
                             "Input device missing ch1: \"Studio B Interface\" is not among the "
                             "input devices; recording the default \"Monitor of VarnFirst\""),
            1)
      << test::DiagnosticsFiles(app.Path());

  Settings("NumRec=2\nDeviceFallback=0\nDeviceName_1=Monitor of VarnFirst\n"
           "DeviceName_2=Monitor of VarnLate\nBitRate_1=0\nBitRate_2=0\n"
           "MinGateLevel_1=-100\nMinGateLevel_2=-100\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "pulse"},
                    {"PULSE_SERVER=" + server.Address()});
  ASSERT_TRUE(run.WaitForOutput("ch2 入力デバイス異常", 10)) << run.Out() << run.Err();
  ASSERT_TRUE(run.WaitForOutput("ch1 録音開始", 10)) << run.Out();
  // Two tries later still nothing of ch2: the default source stays unused.
  std::this_thread::sleep_for(std::chrono::seconds(6));
  EXPECT_EQ(test::CountLines(run.Out(), "ch2 録音開始"), 0) << run.Out();
  ASSERT_EQ(server.Pactl("load-module module-null-sink sink_name=varn_late "
                         "sink_properties=device.description=VarnLate"),
            0);
  ASSERT_TRUE(run.WaitForOutput("ch2 録音開始", 7)) << run.Out();
  run.Signal(SIGTERM);
  ASSERT_EQ(run.Wait(10), 0) << run.Err();
  EXPECT_EQ(test::CountLines(run.Out(), "ch2 入力デバイス異常"), 1);
  EXPECT_EQ(test::CountLines(run.Out(), "既定デバイスで録音"), 0);
}

// A source that stops delivering (the sink suspended) leaves silence of the
// stall's length in the file: the file still covers the whole run in time.
TEST_F(HeadlessPulseTest, AStalledSourceLeavesSilenceOfItsLengthAndTheFileKeepsTime) {
  test::PrivatePulseServer server("varn_stall", "VarnStall");
  ASSERT_TRUE(server.Running()) << "could not start a private PulseAudio server";
  Settings("NumRec=1\nDeviceName_1=Monitor of VarnStall\nRecFreq_1=48000\nBitRate_1=0\n"
           "InputTimeoutSec=2\nMinGateLevel_1=-99\n");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "pulse"},
                    {"PULSE_SERVER=" + server.Address()});
  ASSERT_TRUE(run.WaitForOutput("ch1 録音開始", 10)) << run.Err();
  const auto began = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  ASSERT_EQ(server.Pactl("suspend-sink varn_stall 1"), 0);
  ASSERT_TRUE(run.WaitForOutput("ch1 入力途絶", 6)) << run.Out();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ASSERT_EQ(server.Pactl("suspend-sink varn_stall 0"), 0);
  ASSERT_TRUE(run.WaitForOutput("ch1 入力再開", 6)) << run.Out();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  run.Signal(SIGTERM);
  const double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  ASSERT_EQ(run.Wait(10), 0) << run.Err();
  const auto files = test::ArchiveFiles(app.Path(), 1);
  ASSERT_EQ(files.size(), 1u);
  const WavInfo wav = ReadWavInfo(files[0]);
  ASSERT_EQ(wav.Valid, 1);
  const double seconds = static_cast<double>(wav.DataSize) / (48000.0 * 4);
  // The run's length, less the block still filling at the stop (0.288 s);
  // the file began before this test read its start line, which on a busy
  // machine may come a while later. Silence written twice over the stall
  // (3 s and more) would still show.
  EXPECT_GT(seconds, ran - 0.6) << "the stall is missing from the file";
  EXPECT_LT(seconds, ran + 1.0);
}

}  // namespace
}  // namespace varn
