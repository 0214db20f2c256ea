// Channel start and stop through the engine, the record-button toggles and
// a device that goes away while its channel runs.

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"

namespace varn::test {
namespace {

constexpr int kControlRate = 8000;

class ChannelControlTest : public EngineFixture {
 protected:
  void BuildThree() {
    Build(
        "NumRec=3\nDeviceName_1=Sim Tone 1kHz\nDeviceName_2=Sim Pink Noise\n"
        "DeviceName_3=Sim Ramp\nRecFreq_1=8000\nRecFreq_2=8000\nRecFreq_3=8000\n"
        "BitRate_1=0\nBitRate_2=0\nBitRate_3=0\nArcOn_2=0\n");
    engine->BeginRunning(false);
  }
};

TEST_F(ChannelControlTest, StartAndStopLogTheirLinesAndSetTheButton) {
  BuildThree();
  ASSERT_TRUE(engine->StartChannel(0));
  EXPECT_TRUE(engine->Capturing(0));
  EXPECT_TRUE(view.recordButton[0]);
  TickAfter(0.01);  // the archive worker names the file and says which
  EXPECT_TRUE(PathExists(engine->Channel(0).archive.CurrentPath));
  // Starting a running channel only refreshes its button.
  view.recordButton[0] = false;
  EXPECT_TRUE(engine->StartChannel(0));
  EXPECT_TRUE(view.recordButton[0]);
  engine->StopChannel(0);
  EXPECT_FALSE(engine->Capturing(0));
  EXPECT_FALSE(view.recordButton[0]);
  EXPECT_EQ(view.resets, std::vector<int>{0});
  EXPECT_EQ(CountEvents("ch1 録音開始"), 1);
  EXPECT_EQ(CountEvents("ch1 録音停止"), 1);
}

TEST_F(ChannelControlTest, AChannelThatCannotStartTellsTheOperatorAndStaysStopped) {
  Build("");
  sim.FailDevice(true, kDefaultDevice, "unplugged");  // the device refuses to open
  ASSERT_FALSE(engine->StartChannel(0));
  EXPECT_FALSE(engine->Capturing(0));
  ASSERT_FALSE(notices.texts.empty());
  EXPECT_EQ(notices.texts.back(), "録音開始失敗");
  EXPECT_EQ(CountEvents("録音開始"), 0);
}

TEST_F(ChannelControlTest, ShiftTogglesEveryChannelByItsOwnStateOtherModifiersOnlyOne) {
  BuildThree();
  engine->StartChannel(0);
  engine->StartChannel(2);
  engine->ToggleChannels(1, 1);  // Shift alone
  EXPECT_FALSE(engine->Capturing(0));
  EXPECT_TRUE(engine->Capturing(1));
  EXPECT_FALSE(engine->Capturing(2));
  engine->ToggleChannels(2, 2);  // Ctrl: only the clicked channel
  EXPECT_FALSE(engine->Capturing(0));
  EXPECT_TRUE(engine->Capturing(1));
  EXPECT_TRUE(engine->Capturing(2));
}

TEST_F(ChannelControlTest, MonitoringFollowsTheButtonAndEndsWithTheChannel) {
  BuildThree();
  engine->SelectMonitorChannel(0);  // not running: nothing to play
  EXPECT_EQ(engine->MonitoredChannel(), -1);
  engine->StartChannel(0);
  engine->StartChannel(1);
  engine->SelectMonitorChannel(0);
  EXPECT_EQ(engine->MonitoredChannel(), 0);
  EXPECT_TRUE(view.monitorButton[0]);
  engine->SelectMonitorChannel(1);
  EXPECT_EQ(engine->MonitoredChannel(), 1);
  EXPECT_FALSE(view.monitorButton[0]);
  engine->StopChannel(1);
  EXPECT_EQ(engine->MonitoredChannel(), -1);
  EXPECT_FALSE(view.monitorButton[1]);
}

TEST_F(ChannelControlTest, ALostDeviceStopsItsChannelAloneAndItRestartsWhenTheDeviceReturns) {
  BuildThree();
  engine->StartChannel(0);
  engine->StartChannel(2);
  Run(0.5, {kToneDevice, kRampDevice}, kControlRate);
  const std::string firstFile = engine->Channel(2).archive.CurrentPath;

  sim.FailDevice(true, kRampDevice, "unplugged");
  TickAfter(0.01);
  EXPECT_FALSE(engine->Capturing(2));
  EXPECT_TRUE(engine->Capturing(0));
  EXPECT_TRUE(view.recordButton[2]);  // still meant to run
  const std::vector<std::string> texts = EventTexts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[texts.size() - 3], "ch3 入力デバイス異常");
  EXPECT_EQ(texts[texts.size() - 2], "ch3 録音停止");
  // The run's loudness follows, once the worker has measured it all.
  EXPECT_EQ(texts.back().rfind("ch3 ラウドネス I ", 0), 0u) << texts.back();
  EXPECT_NE(Diagnostics().find("unplugged"), std::string::npos);

  // Tries every 5 s, quietly, while the device stays away.
  TickAfter(5.1);
  EXPECT_FALSE(engine->Capturing(2));
  EXPECT_TRUE(notices.texts.empty());
  sim.RestoreDevice(true, kRampDevice);
  TickAfter(2.0);
  EXPECT_FALSE(engine->Capturing(2));
  TickAfter(3.1);
  EXPECT_TRUE(engine->Capturing(2));
  EXPECT_EQ(CountEvents("ch3 録音開始"), 2);
  TickAfter(0.01);
  EXPECT_NE(engine->Channel(2).archive.CurrentPath, firstFile);
}

TEST_F(ChannelControlTest, StoppingAChannelByHandEndsTheTries) {
  BuildThree();
  engine->StartChannel(2);
  sim.FailDevice(true, kRampDevice, "unplugged");
  TickAfter(0.01);
  ASSERT_TRUE(view.recordButton[2]);
  engine->ToggleChannels(2, 0);
  EXPECT_FALSE(view.recordButton[2]);
  sim.RestoreDevice(true, kRampDevice);
  TickAfter(6.0);
  TickAfter(6.0);
  EXPECT_FALSE(engine->Capturing(2));
  EXPECT_EQ(CountEvents("ch3 録音開始"), 1);
}

}  // namespace
}  // namespace varn::test
