#include "analysis/click_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <stdexcept>

#include "analysis/analysis_texts.h"
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

// The rule frame by frame, as the detector is described: per frame the left
// side, then the right; a step above the side's threshold once its counter
// reached the lockout is a click, and the state reached is kept before the
// report (which may fail).
struct LiteralClicks {
  std::array<int32_t, 2> previous{0, 0};
  std::array<int32_t, 2> since{kClickCounterStart, kClickCounterStart};
  void Block(const std::vector<Frame>& block, const ClickInputs& in, AnalysisEvents& events) {
    const ClickThresholds t = ComputeClickThresholds(in.bitsPerSample, in.sensitivity,
                                                     in.meterNewest, in.sampleRate, in.lockoutSec);
    const bool watched[2] = {WatchesLeft(in.mode), WatchesRight(in.mode)};
    for (const Frame& f : block)
      for (int side : {kLeftSide, kRightSide}) {
        if (!watched[side]) continue;
        const int32_t x = side == kLeftSide ? f.L : f.R;
        const int32_t threshold = side == kLeftSide ? t.left : t.right;
        const int32_t step = x - previous[side];
        previous[side] = x;
        if (step > threshold && since[side] >= t.lockout) {
          since[side] = 0;
          events.Event(ClickMessage(static_cast<double>(step) / threshold), 0, side);
        }
        if (since[side] != kClickCounterStart) ++since[side];
      }
  }
};

// Records events and fails at the given one, as a full disk would.
class FailingEvents : public test::RecordingEvents {
 public:
  explicit FailingEvents(size_t failAt) : failAt_(failAt) {}
  void Event(std::string_view message, int channel, int side) override {
    if (events.size() == failAt_) throw std::runtime_error("report failed");
    RecordingEvents::Event(message, channel, side);
  }

 private:
  size_t failAt_;
};

// Random walks, smooth to rough, with jumps; lockouts from none to longer
// than a block; every mode; blocks of any length; now and then a report
// that fails.
TEST(ClickDetectorModel, GivesTheClicksAndStateOfTheFrameByFrameRule) {
  std::mt19937 gen(20261207);
  const auto below = [&](uint32_t n) { return static_cast<int32_t>(gen() % n); };
  for (int run = 0; run < 40; ++run) {
    ClickDetector detector;
    LiteralClicks literal;
    const auto mode = static_cast<StereoMode>(run / 2 % 4);
    // Frames at 1 kHz; often just a few, so the next click may follow at once.
    const float lockoutSec = static_cast<float>(run % 3 == 0 ? below(4) : below(400)) / 1000.0f;
    const int32_t roughness = std::array{20, 300, 3000}[static_cast<size_t>(run % 5 % 3)];
    const int failingBlock = run % 2 == 1 ? below(30) : -1;
    std::array<int32_t, 2> walk{0, 0};
    for (int b = 0; b < 30; ++b) {
      std::vector<Frame> block(static_cast<size_t>(below(600)));
      for (Frame& f : block)
        for (int side : {kLeftSide, kRightSide}) {
          int32_t& v = walk[side];
          v += below(2 * roughness + 1) - roughness;
          if (below(50) == 0) v += below(8001) - 3000;
          v = std::clamp(v, -32767, 32767);
          (side == kLeftSide ? f.L : f.R) = static_cast<int16_t>(v);
        }
      const LevelRecord level{-50.0 + b, -45.0 + (b % 7) * 5, 0, 0};
      const ClickInputs in{2, mode, level, 16, 1000, 1 + run, lockoutSec};
      FailingEvents got(b == failingBlock ? static_cast<size_t>(below(4)) : SIZE_MAX);
      bool failed = false;
      try {
        detector.Process(0, block, in, &got);
      } catch (const std::runtime_error&) {
        failed = true;
      }
      // The literal rule fails at the same report, or not at all.
      FailingEvents want(failed ? got.events.size() : SIZE_MAX);
      try {
        literal.Block(block, in, want);
      } catch (const std::runtime_error&) {
      }
      ASSERT_EQ(got.events, want.events) << "run " << run << " block " << b;
      for (int side : {kLeftSide, kRightSide}) {
        ASSERT_EQ(detector.Previous(side), literal.previous[side]) << "run " << run;
        ASSERT_EQ(detector.FramesSinceClick(side), literal.since[side]) << "run " << run;
      }
    }
  }
}

}  // namespace
}  // namespace varn
