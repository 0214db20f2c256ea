// The web console's live hand-off on an engine driven by hand: what the
// program's thread publishes reaches the console's hub as status JSON (the
// lines, their state, device and levels), every event line follows in
// order, and a console that takes nothing never holds the program up.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "engine/engine_fixture.h"
#include "ops/web/live_hub.h"
#include "ops/web/live_publisher.h"

namespace varn::test {
namespace {

class WebLiveTest : public EngineFixture {
 protected:
  WebLiveTest() { observer = &live; }
  ~WebLiveTest() override { engine.reset(); }

  // The status once the hub has taken the snapshot just published.
  nlohmann::json Published(LiveHub& hub) {
    live.Publish(*engine);
    const uint64_t sequence = live.Sequence();
    for (int i = 0; i < 200 && hub.Now().levelsSequence != sequence; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(hub.Now().levelsSequence, sequence);
    return nlohmann::json::parse(*hub.Now().status);
  }

  LivePublisher live{log};
};

TEST_F(WebLiveTest, TheConsoleSeesTheLinesAndEveryEventLineAsPublished) {
  Build(
      "NumRec=2\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\nChName_1=Studio A\n"
      "DeviceName_2=Sim Silence\nRecFreq_2=8000\nBitRate_2=0\n");
  engine->BeginRunning(true);
  Run(1.0, {kToneDevice, kSilenceDevice}, 8000);
  LiveHub hub(live);

  nlohmann::json s = Published(hub);
  ASSERT_EQ(s["lines"].size(), 2u);
  const nlohmann::json& one = s["lines"][0];
  EXPECT_EQ(one["channel"], 1);
  EXPECT_EQ(one["name"], "Studio A");
  EXPECT_EQ(one["state"], "recording");
  EXPECT_EQ(one["device"], "Sim Tone 1kHz");
  ASSERT_EQ(one["sides"].size(), 2u);
  EXPECT_NEAR(one["sides"][0]["peak"].get<double>(), -20.0, 0.3);
  EXPECT_NEAR(one["sides"][0]["rms"].get<double>(), -23.0, 0.3);
  EXPECT_EQ(s["lines"][1]["sides"][0]["rms"], -99.0);
  EXPECT_EQ(hub.Now().dataFolder, engine->Services().dataFolder);
  EXPECT_EQ(hub.Now().logFolder + "varn20260314" + hub.Now().logExtension,
            log.CurrentFilePath(false));

  engine->StopChannel(1);
  s = Published(hub);
  EXPECT_EQ(s["lines"][1]["state"], "stopped");
  EXPECT_EQ(s["lines"][1]["device"], "");
  EXPECT_TRUE(s["lines"][1]["sides"].empty());

  // The event lines so far, in order, 1-based channels, with their kinds.
  log.LogEvent("プチ音検出 3.00倍", 0, 1);
  for (int i = 0; i < 200 && hub.EventsAfter(0).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::vector<LiveHub::Event> events;
  for (int i = 0; i < 200; ++i) {
    events = hub.EventsAfter(0);
    if (!events.empty() && events.back().line.kind == "click") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::vector<std::string> kinds;
  for (const LiveHub::Event& e : events) kinds.push_back(e.line.kind);
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "record_start"), 2);
  EXPECT_EQ(kinds.back(), "click");
  const nlohmann::json click = nlohmann::json::parse(events.back().json);
  EXPECT_EQ(click["channel"], 1);
  EXPECT_EQ(click["side"], "R");
  EXPECT_EQ(click["message"], "プチ音検出 3.00倍");
  EXPECT_EQ(click["sequence"], events.size());
  EXPECT_EQ(hub.EventsAfter(events.back().sequence).size(), 0u);
}

TEST_F(WebLiveTest, AConsoleThatTakesNothingCostsTheProgramOnlyTheLinesItDrops) {
  Build("NumRec=1\nDeviceName_1=Sim Silence\nRecFreq_1=8000\nBitRate_1=0\n");
  engine->BeginRunning(true);
  LiveEvent e;
  while (live.TakeEvent(e)) {
  }
  for (int i = 0; i < 600; ++i) log.LogEvent("プチ音検出 2.00倍", 0, 0);
  EXPECT_EQ(live.DroppedEvents(), 600 - kLiveEventRing);
  int taken = 0;
  while (live.TakeEvent(e)) ++taken;
  EXPECT_EQ(taken, static_cast<int>(kLiveEventRing));
}

}  // namespace
}  // namespace varn::test
