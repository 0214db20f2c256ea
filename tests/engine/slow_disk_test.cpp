// A disk that hangs holds up nothing but what is written to it: while one
// line's archive writes and the event file's appends wait, the program's
// thread keeps collecting, analysing and logging every other line, starts
// and stops channels and reaches the top of the hour; the end of the
// program keeps its budget and names what it could not write.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/engine_fixture.h"
#include "log/log_writer.h"
#include "util/io_gate.h"
#include "util/keep_until_exit.h"

namespace varn::test {
namespace {

std::atomic<bool> gDiskHangs{false};

// Archive writes of ch1 and every log file wait while the disk "hangs".
bool HangingDisk(const std::string& path) {
  const bool blocked = path.find("/ch1/") != std::string::npos ||
                       path.ends_with(".txt") || path.ends_with(".err");
  while (blocked && gDiskHangs.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return true;
}

class Collected final : public EventListener {
 public:
  void OnEvent(const EventRecord& e) override {
    if (e.channel == 1) ch2Events.push_back(std::string(e.message));
  }
  std::vector<std::string> ch2Events;
};

class SlowDiskTest : public EngineFixture {
 protected:
  SlowDiskTest() {
    UseRealTimeDevices();
    clock.Set(DateTime{2026, 3, 14, 10, 59, 57, 0});
    log.SetWriter(writer.get());
    log.AddListener(&events);
    SetIoGate(HangingDisk);
  }
  ~SlowDiskTest() override {
    gDiskHangs = false;
    SetIoGate(nullptr);
    engine.reset();
    // A writer whose thread is still in the disk stays to the end.
    if (!writer->Finish(10.0)) KeepUntilExit(std::move(writer));
    log.SetWriter(nullptr);
    log.RemoveListener(&events);
  }
  // Ticks in real time for `seconds`, as the window's timer would.
  void RunFor(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      TickAfter(0.01);
    }
  }

  std::unique_ptr<LogFileWriter> writer = std::make_unique<LogFileWriter>();
  Collected events;
};

TEST_F(SlowDiskTest, OneLinesHungDiskStopsNeitherTheOtherLineNorTheTick) {
  Build(
      "NumRec=2\nDeviceName_1=Sim Ramp\nDeviceName_2=Sim Programme\nRecFreq_1=8000\n"
      "RecFreq_2=8000\nBitRate_1=0\nBitRate_2=0\n");
  engine->BeginRunning(true);
  RunFor(1.0);
  gDiskHangs = true;
  const uint64_t ticksBefore = engine->Stats().ticks;
  // Stop and start ch1 again, and cross 11:00:00, while its disk hangs.
  engine->StopChannel(0);
  ASSERT_TRUE(engine->StartChannel(0));
  RunFor(3.5);
  EXPECT_TRUE(engine->Capturing(0));
  EXPECT_TRUE(engine->Capturing(1));
  EXPECT_EQ(engine->LostFrames(1), 0u);
  // The program's thread never waited: it ticked all along, and ch2's
  // detectors went on (its programme clicks 4 s after its start).
  EXPECT_GT(engine->Stats().ticks - ticksBefore, 150u);
  EXPECT_LT(engine->Stats().longestMs, 1000.0);
  bool click = false;
  for (const std::string& e : events.ch2Events) click = click || e.starts_with("プチ音検出");
  EXPECT_TRUE(click);

  // The disk answers again: nothing of ch1 was lost for good, every file
  // (the first run's, the restart's, the new hour's) is there.
  gDiskHangs = false;
  RunFor(0.5);
  engine->CloseChannels();
  EXPECT_TRUE(engine->FinishArchives(10.0).empty());
  ASSERT_TRUE(writer->WaitIdle(10.0));
  std::error_code ec;
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir / "data/ch1", ec)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 3);
  EXPECT_EQ(CountEvents("ch1 録音開始"), 2);
}

TEST_F(SlowDiskTest, TheEndOfTheProgramKeepsItsBudgetAndNamesWhatItCouldNotWrite) {
  Build("NumRec=1\nDeviceName_1=Sim Ramp\nRecFreq_1=8000\nBitRate_1=0\n");
  engine->BeginRunning(true);
  RunFor(0.5);
  gDiskHangs = true;
  RunFor(0.5);
  const auto began = std::chrono::steady_clock::now();
  engine->CloseChannels();
  const std::vector<std::string> backlog = engine->FinishArchives(0.5);
  ASSERT_EQ(backlog.size(), 1u);
  EXPECT_EQ(backlog[0].rfind("Archive still writing ch1: ", 0), 0u) << backlog[0];
  EXPECT_FALSE(writer->Finish(0.5));
  EXPECT_FALSE(writer->Backlog().empty());
  engine.reset();  // leaves the worker to the end of the process
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(), 5.0);
}

}  // namespace
}  // namespace varn::test
