#include "analysis/spectrum_analyser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "analysis/analysis_texts.h"
#include "analysis/level_math.h"
#include "analysis_test_support.h"

namespace varn {
namespace {

using test::Frames;

TEST(SpectrumHistoryRows, RoundTheBlocksPerTimeWithAMinimumOfFour) {
  EXPECT_EQ(SpectrumHistoryRows(44100, 7350, 0.7f), 4);  // 4.2
  EXPECT_EQ(SpectrumHistoryRows(44100, 7350, 2.0f), 12);
  EXPECT_EQ(SpectrumHistoryRows(48000, 2304, 0.7f), 15);  // 14.58
  EXPECT_EQ(SpectrumHistoryRows(48000, 2304, 0.1f), 4);
  EXPECT_EQ(SpectrumHistoryRows(8000, 384, 1e9f), kMaxSpectrumRows);
}

// The analyser straight from its description: rows are really moved down
// and every mean and maximum is taken over all of its rows. The real one
// keeps running sums and maxima instead, so it must agree up to rounding.
class ReferenceSpectrum {
 public:
  ReferenceSpectrum(int n, int m)
      : S(n, std::vector<double>(2048)), H(m, std::vector<double>(2048)), P(2048) {
    fft.Init(2048);
  }
  void Block(const std::vector<Frame>& block, const SpectrumInputs& in) {
    if (block.size() < 2048) return;
    const int n = static_cast<int>(S.size());
    const int m = static_cast<int>(H.size());
    for (const Frame& f : block) {
      const double x = in.mode == StereoMode::MonoLeft    ? f.L / 5.0
                       : in.mode == StereoMode::MonoRight ? f.R / 5.0
                                                          : (f.L + f.R) / 10.0;
      fft.RealIn(fill, x);
      if (++fill == 2048) {
        fill = 0;
        for (int k = 0; k < n - 1; ++k) S[k] = S[k + 1];
        fft.FourierTransform();
        for (int j = 0; j <= 1024; ++j) S[n - 1][j] = std::fabs(fft.RealOut(j));
      }
    }
    if (in.fftSense > 0) {
      double sum = 0;
      int sides = 0;
      if (in.mode != StereoMode::MonoRight) sum += in.meterNewest.RmsL, ++sides;
      if (in.mode == StereoMode::Stereo || in.mode == StereoMode::MonoRight)
        sum += in.meterNewest.RmsR, ++sides;
      float level = static_cast<float>(sum / sides);
      if (level < -40.0f) level = -40.0f;
      double d = 0;
      for (int j = 2; j <= 1023; ++j) {
        double ref = 0;
        for (int k = m / 2; k <= m - 1; ++k) ref += H[k][j];
        ref /= m;
        d += std::fabs(ref - (S[n - 1][j] + S[n - 2][j]) / 2);
      }
      d = d / 1200000 * DbToLinear(-level);
      change.push_back(d);
    }
    for (int k = 0; k < m - 1; ++k) H[k] = H[k + 1];
    A.assign(1025, 0.0);
    hold.assign(1025, 0.0);
    for (int j = 1; j <= 1024; ++j) {
      for (int k = 0; k < n; ++k) A[j] += S[k][j];
      A[j] /= n;
      H[m - 1][j] = A[j];
      if (A[j] > P[j]) P[j] = A[j];
    }
    for (int j = 1; j <= 1024; ++j) {
      if (in.fftInfinite != 0)
        hold[j] = P[j];
      else
        for (int k = 0; k < m; ++k) hold[j] = std::max(hold[j], H[k][j]);
    }
  }
  C_FFT fft;
  int fill = 0;
  std::vector<std::vector<double>> S, H;
  std::vector<double> P, A, hold;
  std::vector<double> change;
};

double Tolerance(double expected, double relative = 1e-12) {
  return relative * std::max(1.0, std::fabs(expected));
}

class SpectrumTest : public ::testing::Test {
 protected:
  SpectrumTest() : clock(DateTime{2026, 12, 7, 10, 0, 0, 0}) {}
  void Start(int rate, int segment, float avr = 0.7f, float hold = 2.0f) {
    MonitorSettings s;
    s.fftAvrSec = avr;
    s.peakHoldSec = hold;
    analyser.Start(rate, segment, s);
  }
  void Feed(const std::vector<Frame>& block, const SpectrumInputs& in) {
    analyser.Process(2, block, in, clock, &ev, &view);
  }
  SpectrumAnalyser analyser;
  ManualClock clock;
  test::RecordingEvents ev;
  test::RecordingView view;
};

TEST_F(SpectrumTest, MatchesTheLiteralDescriptionOverAChangingProgramme) {
  Start(8000, 2304, 1.3f, 2.0f);  // n = 5, m = 7
  ASSERT_EQ(analyser.TransformRows(), 5);
  ASSERT_EQ(analyser.HoldRows(), 7);
  ReferenceSpectrum ref(5, 7);
  for (int b = 0; b < 40; ++b) {
    const int amplitude = (b / 8) % 2 ? 12000 : 900;  // the timbre and level change every 8 blocks
    const auto left = test::Noise(b + 1, amplitude, 2304);
    const auto right = test::Sine(8000, 300.0 + 40 * b, 5000, 2304);
    const SpectrumInputs in{b,
                            b % 3 == 0 ? StereoMode::Stereo : StereoMode::MonoLeft,
                            {-10.0 - b, -45.0, -3.0, -3.0},
                            50,
                            b >= 30 ? 1 : 0};
    Feed(Frames(left, right), in);
    ref.Block(Frames(left, right), in);
    ASSERT_NEAR(analyser.NewerChange(), ref.change.back(), Tolerance(ref.change.back(), 1e-9))
        << "block " << b;
    ASSERT_EQ(analyser.FillIndex(), ref.fill);
    for (int j = 1; j <= 1024; ++j) {
      ASSERT_NEAR(analyser.Averaged()[j], ref.A[j], Tolerance(ref.A[j]))
          << "block " << b << " bin " << j;
      ASSERT_NEAR(analyser.Hold()[j], ref.hold[j], Tolerance(ref.hold[j]))
          << "block " << b << " bin " << j;
    }
  }
  EXPECT_NEAR(analyser.OlderChange(), ref.change[ref.change.size() - 2],
              Tolerance(ref.change.back(), 1e-9));
  ASSERT_EQ(view.lastAveraged.size(), 1025u);
  EXPECT_NEAR(view.lastHold[100], ref.hold[100], Tolerance(ref.hold[100]));
}

TEST_F(SpectrumTest, BlocksShorterThan2048FramesChangeNothing) {
  Start(32000, 1536);  // a WAV channel at 32000 Hz: segments of 1536 frames
  Feed(Frames(test::Noise(1, 20000, 1536), test::Noise(2, 20000, 1536)),
       SpectrumInputs{20, StereoMode::Stereo, {}, 99, 0});
  EXPECT_EQ(analyser.FillIndex(), 0);
  EXPECT_EQ(analyser.NewerChange(), 0.0);
  EXPECT_TRUE(view.log.empty());
  EXPECT_TRUE(ev.events.empty());
}

class SpectrumChangeTest : public SpectrumTest {
 protected:
  void SetUp() override { Start(8192, 2048, 0.1f, 1.0f); }
  // Loud noise of a new colour every block: every block's change is large.
  void Block(int tick, int sense = 99, StereoMode mode = StereoMode::Stereo,
             LevelRecord level = {-10.0, -10.0, 0, 0}) {
    const auto noise = test::Noise(++seed, 15000, 2048);
    Feed(Frames(noise, noise), SpectrumInputs{tick, mode, level, sense, 0});
  }
  uint32_t seed = 0;
};

TEST_F(SpectrumChangeTest, EventsNeedTickCountAboveEightAndComeAtMostEveryThreeSeconds) {
  for (int tick = 1; tick <= 8; ++tick) Block(tick);
  EXPECT_TRUE(ev.events.empty());
  ASSERT_GT(analyser.NewerChange() + analyser.OlderChange(), 1.0);
  Block(9);
  ASSERT_EQ(ev.events.size(), 1u);
  EXPECT_EQ(ev.events[0].channel, 2);
  EXPECT_EQ(ev.events[0].side, kWholeChannel);
  EXPECT_EQ(ev.events[0].message.rfind("FFT変化 ", 0), 0u);
  EXPECT_EQ(*analyser.lastChangeEventTime, 36000.0f);
  clock.Advance(2.0);
  Block(10);
  clock.Advance(1.0);  // exactly 3 s: not more than 3
  Block(11);
  EXPECT_EQ(ev.events.size(), 1u);
  clock.Advance(0.5);
  Block(12);
  EXPECT_EQ(ev.events.size(), 2u);
}

TEST_F(SpectrumChangeTest, TheMessageGivesTheSumOfThreeChangesAsAMultipleOfTheThreshold) {
  std::deque<double> d;
  for (int tick = 1; tick <= 20 && ev.events.empty(); ++tick) {
    Block(tick, 50);
    d.push_back(analyser.NewerChange());
  }
  ASSERT_EQ(ev.events.size(), 1u);
  const double sum3 = d[d.size() - 1] + d[d.size() - 2] + d[d.size() - 3];
  EXPECT_GT(sum3, 50.0);
  EXPECT_EQ(ev.events[0].message, SpectrumChangeMessage(sum3 / 50));
}

TEST_F(SpectrumChangeTest, SensitivityZeroSwitchesTheMonitorOffAndHundredReportsNothing) {
  for (int tick = 1; tick <= 12; ++tick) Block(tick, 0);
  EXPECT_EQ(analyser.NewerChange(), 0.0);
  for (int tick = 13; tick <= 30; ++tick) {
    clock.Advance(4.0);
    Block(tick, 100);
  }
  EXPECT_GT(analyser.NewerChange(), 0.0);
  EXPECT_TRUE(ev.events.empty());
  Block(31, 250);  // a hand-edited value above 100
  EXPECT_TRUE(ev.events.empty());
}

TEST_F(SpectrumChangeTest, TheFirstEventWaitsThreeSecondsAfterMidnightUnlessNoneCameBefore) {
  clock.Set(DateTime{2026, 12, 7, 0, 0, 2, 0});
  for (int tick = 1; tick <= 12; ++tick) Block(tick);
  EXPECT_TRUE(ev.events.empty());  // the last event time starts at 0, midnight
  analyser.lastChangeEventTime.reset();
  Block(13);
  EXPECT_EQ(ev.events.size(), 1u);
}

TEST_F(SpectrumChangeTest, AStationaryToneStillShowsAChange) {
  const auto tone =
      Frames(test::Cosine(2048, 100, 8000, 2048), test::Cosine(2048, 100, 8000, 2048));
  for (int b = 0; b < 20; ++b)
    Feed(tone, SpectrumInputs{1, StereoMode::Stereo, {-10.0, -10.0, 0, 0}, 50, 0});
  // Half of the hold rows summed, divided by all of them: half the tone's bin remains.
  EXPECT_NEAR(analyser.NewerChange(), 1024.0 * 1600 / 2 / 1200000 * DbToLinear(10.0f), 0.01);
}

}  // namespace
}  // namespace varn
