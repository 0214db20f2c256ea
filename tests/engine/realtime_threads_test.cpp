// The engine with devices that run on their own threads, as in a real run:
// a capture thread writes the blocks that a monitor output thread reads
// while the program's thread collects, analyses and archives them. Under
// the thread sanitizer this is where a missing hand-off would show.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/sim/sim_service.h"
#include "audio/sim/sim_streams.h"
#include "engine/engine_fixture.h"

namespace varn::test {
namespace {

class RealTimeThreadsTest : public EngineFixture {
 protected:
  RealTimeThreadsTest() { UseRealTimeDevices(); }
  void TickFor(std::chrono::milliseconds span) {
    const auto until = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      TickAfter(0.01);
    }
  }
};

TEST_F(RealTimeThreadsTest, CaptureWritesWhatTheMonitorThreadPlaysWhileTheEngineTicks) {
  Build(
      "NumRec=2\nDeviceName_1=Sim Ramp\nDeviceName_2=Sim Programme\nRecFreq_1=48000\n"
      "RecFreq_2=48000\nBitRate_1=0\nBitRate_2=160\nBufferDelay=100\n");
  engine->BeginRunning(true);
  engine->SelectMonitorChannel(0);
  TickFor(std::chrono::milliseconds(1500));
  ASSERT_NE(engine->Monitor().OutDevice, nullptr);
  const auto* out = dynamic_cast<const SimOutStream*>(engine->Monitor().OutDevice.get());
  ASSERT_NE(out, nullptr);
  EXPECT_GT(out->PlayedSum(), 0u) << "the output thread read no samples";
  EXPECT_GT(engine->Channel(0).capture.BuffersCompleted, 3u);
  EXPECT_GT(engine->Channel(1).capture.BuffersCompleted, 1u);
  engine->CloseChannels();
  EXPECT_EQ(CountEvents("録音停止"), 2);
}

TEST_F(RealTimeThreadsTest, AMonitorOutputThatStallsSkipsAheadOfTheBlocksCaptureRefills) {
  // The output runs half a per cent slow on a thread of its own, as a
  // second card would, and stalls for longer than the ring minus a block
  // (2592 ms of the 2880 ms ring): meanwhile it skips ahead, and once going
  // again it takes what fell due at once from blocks capture is done with.
  // Were it to play what waited, its thread would read blocks while the
  // capture thread writes them anew: a race the thread sanitizer reports.
  static_cast<SimWaveService&>(*otherAudio).SetOutputRate(0.995);
  Build(
      "NumRec=1\nDeviceName_1=Sim Ramp\nRecFreq_1=8000\nBitRate_1=0\nBufferSec_1=3\n"
      "BufferDelay=300\n");
  engine->BeginRunning(true);
  ASSERT_EQ(engine->Channel(0).capture.BufferCount, 10);
  engine->SelectMonitorChannel(0);
  auto* out = dynamic_cast<SimOutStream*>(engine->Monitor().OutDevice.get());
  ASSERT_NE(out, nullptr);
  TickFor(std::chrono::milliseconds(500));
  const uint64_t before = out->PlayedSum();
  EXPECT_GT(before, 0u) << "the output thread read no samples";
  out->Pause(true);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (engine->Monitor().Skips == 0 && std::chrono::steady_clock::now() < limit)
    TickFor(std::chrono::milliseconds(10));
  ASSERT_EQ(engine->Monitor().Skips, 1u);
  TickFor(std::chrono::milliseconds(200));
  out->Pause(false);
  TickFor(std::chrono::milliseconds(1000));
  EXPECT_GT(out->PlayedSum(), before);
  EXPECT_EQ(engine->Monitor().Skips, 1u);
  engine->CloseChannels();
}

}  // namespace
}  // namespace varn::test
