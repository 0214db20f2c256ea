// The engine with devices that run on their own threads, as in a real run:
// a capture thread writes the blocks that a monitor output thread reads
// while the program's thread collects, analyses and archives them. Under
// the thread sanitizer this is where a missing hand-off would show.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/sim/sim_streams.h"
#include "engine/engine_fixture.h"

namespace varn::test {
namespace {

class RealTimeThreadsTest : public EngineFixture {
 protected:
  RealTimeThreadsTest() { UseRealTimeDevices(); }
};

TEST_F(RealTimeThreadsTest, CaptureWritesWhatTheMonitorThreadPlaysWhileTheEngineTicks) {
  Build(
      "NumRec=2\nDeviceName_1=Sim Ramp\nDeviceName_2=Sim Programme\nRecFreq_1=48000\n"
      "RecFreq_2=48000\nBitRate_1=0\nBitRate_2=160\nBufferDelay=100\n");
  engine->BeginRunning(true);
  engine->SelectMonitorChannel(0);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    TickAfter(0.01);
  }
  ASSERT_NE(engine->Monitor().OutDevice, nullptr);
  const auto* out = dynamic_cast<const SimOutStream*>(engine->Monitor().OutDevice.get());
  ASSERT_NE(out, nullptr);
  EXPECT_GT(out->PlayedSum(), 0u) << "the output thread read no samples";
  EXPECT_GT(engine->Channel(0).capture.BuffersCompleted, 3u);
  EXPECT_GT(engine->Channel(1).capture.BuffersCompleted, 1u);
  engine->CloseChannels();
  EXPECT_EQ(CountEvents("録音停止"), 2);
}

}  // namespace
}  // namespace varn::test
