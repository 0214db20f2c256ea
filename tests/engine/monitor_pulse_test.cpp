// Play-through on a real PulseAudio server (the one test.sh starts): a ramp
// played into one null sink is captured from its monitor by channel 1,
// played through to a second null sink and recorded there by parec, and
// arrives without a break. The two sinks are this test's own, so tests that
// run beside it on the same server do not mix into them. Skips without
// VARN_TEST_PULSE.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "audio/pulse/pulse_service.h"
#include "engine/engine_fixture.h"
#include "support/child_process.h"
#include "support/private_pulse_server.h"
#include "support/run_command.h"
#include "util/text.h"

namespace varn::test {
namespace {

constexpr int kRate = 44100;

// A null sink for the length of a test.
class NullSink {
 public:
  explicit NullSink(const std::string& name) : name_(name) {
    const CommandResult r = RunCommand("pactl load-module module-null-sink sink_name=" + name +
                                       " sink_properties=device.description=" + name);
    module_ = r.exitCode == 0 ? TrimBlanks(r.output) : "";
  }
  ~NullSink() {
    if (!module_.empty()) RunCommand("pactl unload-module " + module_);
  }
  bool Loaded() const { return !module_.empty(); }
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::string module_;
};

class PulseMonitorTest : public EngineFixture {
 protected:
  void SetUp() override {
    const char* wanted = std::getenv("VARN_TEST_PULSE");
    if (!wanted || !*wanted) GTEST_SKIP() << "VARN_TEST_PULSE is not set: no test server";
  }
};

std::vector<int16_t> ReadLeft(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<int16_t> left;
  int16_t frame[2];
  while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) left.push_back(frame[0]);
  return left;
}

TEST_F(PulseMonitorTest, ARampPlayedThroughArrivesWithoutABreak) {
  // Eight seconds of a stereo ramp, as raw samples for pacat.
  const std::string ramp = dir / "ramp.raw";
  {
    std::ofstream out(ramp, std::ios::binary);
    for (int f = 0; f < 8 * kRate; ++f) {
      const auto v = static_cast<int16_t>(f & 0xFFFF);
      out.write(reinterpret_cast<const char*>(&v), 2);
      out.write(reinterpret_cast<const char*>(&v), 2);
    }
  }
  const std::string tag = std::to_string(getpid());
  NullSink line("VarnLine" + tag), out("VarnHeard" + tag);
  ASSERT_TRUE(line.Loaded() && out.Loaded());
  const std::string recorded = dir / "heard.raw";
  ChildProcess recorder({"parec", "-d", out.Name() + ".monitor", "--raw", "--format=s16le",
                         "--rate=44100", "--channels=2", "--latency-msec=500"},
                        recorded);
  ASSERT_TRUE(recorder.Started());

  UseAudio(std::make_unique<PulseWaveService>());
  Build("NumRec=1\nDeviceName_1=Monitor of " + line.Name() +
        "\nRecFreq_1=44100\nRecMode_1=3\nBitRate_1=0\nArcOn_1=1\nMonDeviceName=" + out.Name() +
        "\nBufferDelay=500\n");
  engine->BeginRunning(true);
  ASSERT_TRUE(engine->Capturing(0));
  engine->SelectMonitorChannel(0);
  ASSERT_NE(engine->Monitor().OutDevice, nullptr);

  ChildProcess player({"pacat", "--playback", "-d", line.Name(), "--raw", "--format=s16le",
                       "--rate=44100", "--channels=2", "--latency-msec=500", ramp});
  ASSERT_TRUE(player.Started());
  // Ticks at their usual pace for the length of the ramp and a little more.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(9500);
  while (std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    TickAfter(0.01);
  }
  engine->CloseChannels();
  player.Stop();
  recorder.Stop();

  const std::vector<int16_t> heard = ReadLeft(recorded);
  size_t first = 0;
  while (first < heard.size() && heard[first] == 0) ++first;
  ASSERT_LT(first + 4 * kRate, heard.size()) << "too little of the ramp was heard";
  // Four seconds of it (the silent tails of the stream aside) without a break.
  size_t breaks = 0;
  for (size_t i = first + 1; i < first + 4 * kRate; ++i)
    if (static_cast<uint16_t>(heard[i] - heard[i - 1]) != 1) ++breaks;
  EXPECT_EQ(breaks, 0u);
}

// A server that stops answering for five seconds (SIGSTOP, then SIGCONT):
// the event file says the input stalled, when it came back and how much
// audio the backlog that overran the ring cost.
TEST_F(PulseMonitorTest, AServerThatStopsAnsweringIsAStalledInputAndItsBacklogLostAudio) {
  PrivatePulseServer server("varn_frozen", "VarnFrozen");
  ASSERT_TRUE(server.Running()) << "could not start a private PulseAudio server";
  UseAudio(std::make_unique<PulseWaveService>(server.Address()));
  Build(
      "NumRec=1\nDeviceName_1=Monitor of VarnFrozen\nRecFreq_1=44100\nBitRate_1=0\n"
      "InputTimeoutSec=2\nBufferSec_1=3\n");  // the smallest ring, 2.9 s: the freeze overruns it
  engine->BeginRunning(true);
  ASSERT_TRUE(engine->Capturing(0));
  const auto tickFor = [&](double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      TickAfter(0.01);
    }
  };
  tickFor(6.5);  // past the start's grace, audio flowing
  ASSERT_EQ(CountEvents("入力途絶"), 0);
  server.Freeze(true);
  tickFor(5.0);
  EXPECT_EQ(CountEvents("ch1 入力途絶"), 1);
  server.Freeze(false);
  tickFor(3.0);
  engine->CloseChannels();
  EXPECT_EQ(CountEvents("ch1 入力再開 "), 1) << Events();
  EXPECT_EQ(CountEvents("ch1 音声欠落 "), 1) << Events();
  EXPECT_EQ(CountEvents("入力デバイス異常"), 0);  // late, not gone
}

}  // namespace
}  // namespace varn::test
