// What the operator is told about a channel's input: audio that stops
// arriving ("入力途絶") and comes back ("入力再開 N.N秒"), and audio lost on
// the way ("音声欠落 N.N秒"), on virtual devices driven by hand.

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"

namespace varn::test {
namespace {

constexpr int kEventsRate = 8000;  // WAV buffers of 2304 frames, a ring of 10 (2.88 s)

class LineEventsTest : public EngineFixture {
 protected:
  void BuildOne(const std::string& extra = "") {
    Build("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\n" + extra);
    engine->BeginRunning(true);
    ASSERT_TRUE(engine->Capturing(0));
  }
  // Ticks every 10 ms for `seconds` with no audio arriving.
  void Quiet(double seconds) {
    for (int i = 0; i < static_cast<int>(seconds * 100 + 0.5); ++i) TickAfter(0.01);
  }
};

TEST_F(LineEventsTest, AnInputThatPausesIsReportedOnceAndItsReturnWithTheGap) {
  BuildOne();
  Run(6.0, {kToneDevice}, kEventsRate);
  Quiet(2.9);
  EXPECT_EQ(CountEvents("入力途絶"), 0);
  Quiet(0.2);  // 3 s (the default) since the last audio
  EXPECT_EQ(CountEvents("ch1 入力途絶"), 1);
  Quiet(2.0);
  EXPECT_EQ(CountEvents("入力途絶"), 1);  // once per interruption
  Run(1.0, {kToneDevice}, kEventsRate);
  EXPECT_EQ(CountEvents("ch1 入力再開 5.1秒"), 1);
  EXPECT_EQ(CountEvents("音声欠落"), 0);  // late is not lost
  EXPECT_TRUE(engine->Capturing(0));      // the channel and its file go on
}

TEST_F(LineEventsTest, TheTimeoutIsASettingAndADeviceThatNeverDeliversIsReportedAfterTheGrace) {
  BuildOne("InputTimeoutSec=1.5\n");
  Quiet(6.4);  // start + 5 s of grace + 1.5 s
  EXPECT_EQ(CountEvents("入力途絶"), 0);
  Quiet(0.2);
  EXPECT_EQ(CountEvents("ch1 入力途絶"), 1);
  Run(0.5, {kToneDevice}, kEventsRate);
  EXPECT_EQ(CountEvents("ch1 入力再開 6.6秒"), 1);  // nothing since the start
}

TEST_F(LineEventsTest, ABacklogThatOverrunsTheRingIsAudioLostWrittenOnceTheIncidentIsOver) {
  BuildOne();
  Run(1.0, {kToneDevice}, kEventsRate);
  // Five seconds arrive at once: the ring takes 2.88 s of it.
  Feed(kToneDevice, 5 * kEventsRate);
  TickAfter(0.01);
  Run(0.5, {kToneDevice}, kEventsRate);
  // A second burst half a second later belongs to the same incident.
  Feed(kToneDevice, 4 * kEventsRate);
  TickAfter(0.01);
  Run(0.9, {kToneDevice}, kEventsRate);
  EXPECT_EQ(CountEvents("音声欠落"), 0);  // not over yet
  Run(0.3, {kToneDevice}, kEventsRate);
  // 16960 + 9,000-odd frames: 5 s - 2.88 s, then 4 s less what the ring had room for.
  const std::vector<std::string> texts = EventTexts();
  int lines = 0;
  for (const std::string& t : texts)
    if (t.rfind("ch1 音声欠落 ", 0) == 0) {
      ++lines;
      const double seconds = std::stod(t.substr(std::string("ch1 音声欠落 ").size()));
      EXPECT_GT(seconds, 3.0) << t;
      EXPECT_LT(seconds, 4.0) << t;
    }
  EXPECT_EQ(lines, 1);
  const std::string diagnostics = Diagnostics();
  EXPECT_NE(diagnostics.find("Capture overrun ch1"), std::string::npos);
}

TEST_F(LineEventsTest, AStopEndsAnOpenIncidentBeforeItsStopLine) {
  BuildOne();
  Run(1.0, {kToneDevice}, kEventsRate);
  Feed(kToneDevice, 4 * kEventsRate);
  TickAfter(0.01);
  Run(0.2, {kToneDevice}, kEventsRate);
  engine->StopChannel(0);
  const std::vector<std::string> texts = EventTexts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2].rfind("ch1 音声欠落 1.", 0), 0u) << texts[texts.size() - 2];
  EXPECT_EQ(texts.back(), "ch1 録音停止");
}

}  // namespace
}  // namespace varn::test
