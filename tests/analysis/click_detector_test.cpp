#include "analysis/click_detector.h"

#include <gtest/gtest.h>

#include "analysis_test_support.h"

namespace varn {
namespace {

using test::Frames;
using test::RecordedEvent;

constexpr LevelRecord kQuiet{-60.0, -60.0, -50.0, -50.0};
constexpr LevelRecord kFullScale{0.0, 0.0, 0.0, 0.0};

TEST(ClickThresholds, FollowSensitivityAndTheQuietFloor) {
  ClickThresholds t = ComputeClickThresholds(16, 100, kQuiet, 44100, 1.0f);
  EXPECT_EQ(t.base, 5242.88f);
  EXPECT_EQ(t.left, 52);
  EXPECT_EQ(t.lockout, 44100);
  t = ComputeClickThresholds(16, 50, {-20.0, -6.0, 0, 0}, 8000, 0.25f);
  EXPECT_EQ(t.base, 10485.76f);
  EXPECT_EQ(t.left, 1049);   // 0.1 * 10485.76
  EXPECT_EQ(t.right, 5255);  // 0.501187 * 10485.76
  EXPECT_EQ(t.lockout, 2000);
  t = ComputeClickThresholds(16, 1, kFullScale, 8000, 1.0f);
  EXPECT_EQ(t.left, 524288);  // beyond any 16-bit step
}

class ClickTest : public ::testing::Test {
 protected:
  ClickInputs In(StereoMode mode = StereoMode::Stereo, int32_t tick = 2,
                 LevelRecord level = kQuiet) {
    return ClickInputs{tick, mode, level, 16, 8000, 100, 1.0f};  // threshold 52, lockout 8000
  }
  void Feed(const std::vector<Frame>& block, const ClickInputs& in) {
    detector.Process(4, block, in, &ev);
  }
  void Feed(const std::vector<Frame>& block) { Feed(block, In()); }
  ClickDetector detector;
  test::RecordingEvents ev;
};

TEST_F(ClickTest, OnlyUpwardStepsAboveTheThresholdAreClicks) {
  Feed(Frames({0, 52, 0, -53, 0, 53, 100, 47}));
  EXPECT_EQ(ev.events, (std::vector<RecordedEvent>{{"プチ音検出 1.02倍", 4, 0}}));
}

TEST_F(ClickTest, TheLockoutCountsFromTheReportedClick) {
  test::Samples s = test::Silence(20000);
  test::SetSample(s, 100, 1000);         // reported
  test::SetSample(s, 100 + 4000, 1000);  // 0.5 s later: inside the lockout
  test::SetSample(s, 100 + 7999, 1000);  // one frame short of it
  test::SetSample(s, 100 + 9000, 1000);  // 1.125 s after the reported one
  Feed(Frames(s));
  ASSERT_EQ(ev.events.size(), 2u);
  EXPECT_EQ(detector.FramesSinceClick(0), 20000 - (100 + 9000));

  ClickDetector exact;
  test::Samples t = test::Silence(9000);
  test::SetSample(t, 10, 1000);
  test::SetSample(t, 10 + 8000, 1000);  // exactly the lockout after it
  exact.Process(0, Frames(t), In(), &ev);
  EXPECT_EQ(ev.events.size(), 4u);
}

TEST_F(ClickTest, StepsAreFoundAcrossBlockBoundariesAndTheCountersSaturate) {
  Feed(Frames({0, 0, 0}));
  EXPECT_EQ(detector.FramesSinceClick(0), kClickCounterStart);
  Feed(Frames({200, 200}));
  ASSERT_EQ(ev.events.size(), 1u);  // 200 - 0 at the boundary
  EXPECT_EQ(detector.Previous(0), 200);
}

TEST_F(ClickTest, ARejoinedBlockIsNotComparedAcrossTheGapButStillWithin) {
  test::Samples before = test::Silence(100);
  test::SetSample(before, 10, 1000);  // a click: the lockout starts
  Feed(Frames(before));
  ev.events.clear();
  detector.Rejoin(Frame{20000, 3000});
  EXPECT_EQ(detector.FramesSinceClick(0), 90);  // the lockout keeps running
  Feed(Frames({20000, 21000}, {3000, 3065}));
  // Left: locked out. Right: 3065 - 3000, not the 3000 - 0 across the gap.
  EXPECT_EQ(ev.events, (std::vector<RecordedEvent>{{"プチ音検出 1.25倍", 4, 1}}));
}

TEST_F(ClickTest, TheFirstTickPrimesAndTickZeroDoesNothing) {
  Feed(Frames({5000, 7000}, {-3000, 900}), In(StereoMode::Stereo, 0));
  EXPECT_EQ(detector.Previous(0), 0);
  Feed(Frames({5000, 7000}, {-3000, 900}), In(StereoMode::Stereo, 1));
  EXPECT_TRUE(ev.events.empty());
  EXPECT_EQ(detector.Previous(0), 7000);
  EXPECT_EQ(detector.Previous(1), 900);
  Feed(Frames({7000, 7000}, {900, 900}));
  EXPECT_TRUE(ev.events.empty());  // compared with the primed samples, not with 0

  ClickDetector fresh;  // without a priming block the first sample is compared with 0
  fresh.Process(0, Frames({7000}), In(), &ev);
  EXPECT_EQ(ev.events.size(), 1u);
}

TEST_F(ClickTest, StereoModesDecideWhichSidesAreWatched) {
  const auto both = Frames({0, 500}, {0, 500});
  Feed(both, In(StereoMode::MonoMix));
  EXPECT_EQ(ev.events, (std::vector<RecordedEvent>{{"プチ音検出 9.62倍", 4, 0}}));
  EXPECT_EQ(detector.Previous(1), 0);  // the unwatched side is left alone
  EXPECT_EQ(detector.FramesSinceClick(1), kClickCounterStart);

  ClickDetector right;
  right.Process(1, both, In(StereoMode::MonoRight), &ev);
  ASSERT_EQ(ev.events.size(), 2u);
  EXPECT_EQ(ev.events[1].side, 1);

  ClickDetector mono;  // a mono capture in stereo mode: R is always 0
  mono.Process(1, Frames({0, 500, 0, 500}), In(StereoMode::Stereo), &ev);
  EXPECT_EQ(ev.events.size(), 3u);
  EXPECT_EQ(ev.events[2].side, 0);
}

TEST_F(ClickTest, EachSideUsesItsOwnLevel) {
  // Left at -20 dB (threshold 524 at sensitivity 100), right quiet (52).
  Feed(Frames({0, 300}, {0, 300}), In(StereoMode::Stereo, 2, {-20.0, -70.0, 0, 0}));
  ASSERT_EQ(ev.events.size(), 1u);
  EXPECT_EQ(ev.events[0].side, 1);
}

TEST_F(ClickTest, AnAbsurdSensitivityIsHarmless) {
  ClickInputs in = In();
  in.sensitivity = 100000000;  // the threshold would be 0
  Feed(Frames({0, 30000, 0, 30000}), in);
  EXPECT_TRUE(ev.events.empty());
}

}  // namespace
}  // namespace varn
