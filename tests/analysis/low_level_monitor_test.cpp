#include "analysis/low_level_monitor.h"

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/analysis_texts.h"
#include "analysis/level_math.h"
#include "analysis_test_support.h"

namespace varn {
namespace {

using test::Frames;
using test::RecordedEvent;

TEST(LowLevelWindow, LengthIsRoundedHalvesToEven) {
  LowLevelMonitor m;
  m.SizeWindow(44100, 300);
  EXPECT_EQ(m.WindowLength(), 13230);
  m.SizeWindow(8000, 1);
  EXPECT_EQ(m.WindowLength(), 8);
  m.SizeWindow(2500, 1);
  EXPECT_EQ(m.WindowLength(), 2);  // 2.5
  m.SizeWindow(3500, 1);
  EXPECT_EQ(m.WindowLength(), 4);  // 3.5
  m.SizeWindow(44100, 0);
  EXPECT_EQ(m.WindowLength(), 0);  // idle: nothing can be evaluated
  test::RecordingEvents ev;
  m.Process(0, Frames(test::Silence(1000), test::Silence(1000)), StereoMode::Stereo, -90.0f, &ev);
  EXPECT_TRUE(ev.events.empty());
}

class LowLevelTest : public ::testing::Test {
 protected:
  void SetUp() override { monitor.SizeWindow(8000, 1); }  // 8 frames
  void Feed(const std::vector<Frame>& block, StereoMode mode = StereoMode::Stereo,
            float gate = -90.0f) {
    monitor.Process(3, block, mode, gate, &ev);
  }
  LowLevelMonitor monitor;
  test::RecordingEvents ev;
};

TEST_F(LowLevelTest, SilenceLogsOneDownAfterAWholeWindowAndNothingMore) {
  Feed(Frames(test::Silence(7), test::Constant(5000, 7)));
  EXPECT_TRUE(ev.events.empty());
  Feed(Frames(test::Silence(1), test::Constant(5000, 1)));
  EXPECT_EQ(ev.events, (std::vector<RecordedEvent>{{"レベルDOWN -99.0db(RMS)", 3, 0}}));
  Feed(Frames(test::Silence(40), test::Constant(5000, 40)));
  EXPECT_EQ(ev.events.size(), 1u);
  EXPECT_EQ(monitor.State(kLeftSide), 1);
  EXPECT_EQ(monitor.State(kRightSide), 0);
}

TEST_F(LowLevelTest, WindowsRunOnAcrossBlocksOfAnyLength) {
  Feed(Frames(test::Silence(5), test::Silence(5)), StereoMode::MonoLeft);
  Feed(Frames(test::Silence(5), test::Silence(5)),
       StereoMode::MonoLeft);  // window complete at frame 8
  ASSERT_EQ(ev.events.size(), 1u);
  EXPECT_EQ(monitor.FillIndex(), 2);
  // The next window: the 2 silent frames already in it plus 6 of 3277.
  Feed(Frames(test::Constant(3277, 6)), StereoMode::MonoLeft);
  ASSERT_EQ(ev.events.size(), 2u);
  const float expected = LinearToDb(static_cast<float>(std::sqrt(6.0 * 3277 * 3277 / 8) / 32767));
  EXPECT_EQ(ev.events[1].message, LowLevelMessage(true, expected));
  EXPECT_EQ(ev.events[1].message, "レベルUP -21.2db(RMS)");
}

TEST_F(LowLevelTest, AtTheThresholdIsNotLowAndMinus99SilenceIsNotBelowMinus99) {
  const float level = LinearToDb(1000 / 32767.0f);
  Feed(Frames(test::Constant(1000, 8)), StereoMode::MonoLeft, level);
  EXPECT_TRUE(ev.events.empty());
  Feed(Frames(test::Constant(1000, 8)), StereoMode::MonoLeft, std::nextafter(level, 0.0f));
  EXPECT_EQ(ev.events.size(), 1u);

  LowLevelMonitor quiet;
  quiet.SizeWindow(8000, 1);
  quiet.Process(0, Frames(test::Silence(64)), StereoMode::MonoLeft, -99.0f, &ev);
  EXPECT_EQ(ev.events.size(), 1u);
}

TEST_F(LowLevelTest, ALoudStartLogsNothing) {
  Feed(Frames(test::Sine(8000, 440, 20000, 800), test::Sine(8000, 440, 20000, 800)));
  EXPECT_TRUE(ev.events.empty());
}

TEST_F(LowLevelTest, StereoModesDecideWhichSidesAreWatched) {
  // A mono capture in stereo mode feeds R = 0: the right side reports once.
  Feed(Frames(test::Constant(20000, 16)));
  EXPECT_EQ(ev.events, (std::vector<RecordedEvent>{{"レベルDOWN -99.0db(RMS)", 3, 1}}));
  ev.events.clear();
  LowLevelMonitor mix;
  mix.SizeWindow(8000, 1);
  mix.Process(0, Frames(test::Constant(20000, 8), test::Silence(8)), StereoMode::MonoMix, -90.0f,
              &ev);
  EXPECT_TRUE(ev.events.empty());  // the right side is not watched in a mono mode
  LowLevelMonitor right;
  right.SizeWindow(8000, 1);
  right.Process(0, Frames(test::Silence(8), test::Constant(20000, 8)), StereoMode::MonoRight,
                -90.0f, &ev);
  EXPECT_TRUE(ev.events.empty());  // nor the left in MonoRight
}

TEST_F(LowLevelTest, LeftIsEvaluatedBeforeRight) {
  Feed(Frames(test::Silence(8), test::Silence(8)));
  ASSERT_EQ(ev.events.size(), 2u);
  EXPECT_EQ(ev.events[0].side, 0);
  EXPECT_EQ(ev.events[1].side, 1);
}

}  // namespace
}  // namespace varn
