#include "analysis/level_meter.h"

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/level_math.h"
#include "analysis/loudness_bar.h"
#include "analysis_test_support.h"

namespace varn {
namespace {

using test::Frames;

TEST(BlockLevels, SilenceIsMinus99AndFullScaleIsZero) {
  const LevelRecord quiet = BlockLevels(Frames(test::Silence(100), test::Silence(100)), true);
  EXPECT_EQ(quiet.RmsL, -99.0);  // not the -110 of the logarithm's floor
  EXPECT_EQ(quiet.RmsR, -99.0);
  EXPECT_EQ(quiet.PeakL, -99.0);
  EXPECT_EQ(quiet.PeakR, -99.0);

  test::Samples alternating(64);
  for (size_t i = 0; i < alternating.size(); ++i) alternating[i] = (i % 2) ? -32767 : 32767;
  const LevelRecord loud = BlockLevels(Frames(alternating, test::Constant(32767, 64)), true);
  EXPECT_EQ(loud.RmsL, 0.0);
  EXPECT_EQ(loud.PeakL, 0.0);
  EXPECT_EQ(loud.RmsR, 0.0);
  EXPECT_EQ(loud.PeakR, 0.0);
}

TEST(BlockLevels, AMonoCaptureLeavesTheRightSumsAtZero) {
  const LevelRecord r =
      BlockLevels(Frames(test::Constant(1000, 10), test::Constant(1000, 10)), false);
  EXPECT_EQ(r.RmsR, -99.0);
  EXPECT_EQ(r.PeakR, -99.0);
  EXPECT_NE(r.RmsL, -99.0);
}

TEST(LevelWindows, LengthsFollowRateAndSegmentWithAMinimumOfTwo) {
  EXPECT_EQ(MeterWindowLength(44100, 2116), 7);  // 13230 / 2116 + 1
  EXPECT_EQ(MeterWindowLength(48000, 2304), 7);  // 14400 / 2304 + 1
  EXPECT_EQ(MeterWindowLength(4000, 2304), 2);   // a segment longer than 0.3 s
  EXPECT_EQ(HoldWindowLength(44100, 2116, 2.0f), 41);
  EXPECT_EQ(HoldWindowLength(48000, 2304, 0.1f), 2);
  EXPECT_EQ(HoldWindowLength(48000, 2304, 0.04f), 2);  // shorter than two segments
  EXPECT_EQ(HoldWindowLength(48000, 2304, -1.0f), 2);
  EXPECT_EQ(HoldWindowLength(48000, 384, 1e9f), kMaxLevelWindow);  // a hand-edited absurdity
}

TEST(LevelWindows, MeanIsOfDecibelsAndOldEntriesDropOut) {
  LevelWindow w;
  w.Reset(2);
  EXPECT_EQ(w.MeanRmsL(), -99.0);
  EXPECT_EQ(w.MaxPeakR(), -99.0);
  w.Push({-10.0, -20.0, -3.0, -99.0});
  w.Push({-30.0, -40.0, -9.0, -12.0});
  EXPECT_EQ(w.MeanRmsL(), -20.0);  // a mean of powers would give about -12.6
  EXPECT_EQ(w.MeanRmsR(), -30.0);
  EXPECT_EQ(w.MaxPeakL(), -3.0);
  EXPECT_EQ(w.MaxPeakR(), -12.0);
  w.Push({-50.0, -50.0, -20.0, -20.0});  // the -3 peak drops out
  EXPECT_EQ(w.MaxPeakL(), -9.0);
  EXPECT_EQ(w.Newest().RmsL, -50.0);
  EXPECT_EQ(w.At(0).RmsL, -30.0);
}

class MeasureLevelsTest : public ::testing::Test {
 protected:
  MeasureLevelsTest() {
    state.MeterWindow.Reset(3);
    state.HoldWindow.Reset(5);
  }
  LevelRecord Measure(const std::vector<Frame>& block, StereoMode mode,
                      MeterTextMode text = MeterTextMode::Rms, float hold = 2.0f,
                      bool stereo = true) {
    return MeasureLevels(state, block, stereo, hold, text, mode, drawing);
  }
  MeterState state;
  MeterDrawing drawing;
};

TEST_F(MeasureLevelsTest, HandsBackTheBlocksOwnRecordWhileTheBarShowsTheWindowMean) {
  const auto half = Frames(test::Constant(16384, 100), test::Constant(8192, 100));
  const LevelRecord r = Measure(half, StereoMode::Stereo);
  EXPECT_NEAR(r.RmsL, -6.02, 0.01);
  ASSERT_EQ(drawing.count, 2);
  // Mean of {-99, -99, -6.02} for the bar; the window's highest peak.
  EXPECT_FLOAT_EQ(drawing.bars[0].vu, static_cast<float>((-99.0 - 99.0 + r.RmsL) / 3));
  EXPECT_FLOAT_EQ(drawing.bars[0].peak, static_cast<float>(r.PeakL));
  EXPECT_FLOAT_EQ(drawing.bars[1].peak, static_cast<float>(r.PeakR));
  EXPECT_FLOAT_EQ(drawing.bars[0].hold, static_cast<float>(r.PeakL));
  EXPECT_EQ(drawing.bars[0].text, "-68.0");  // RMS text mode shows the mean

  const LevelRecord quiet =
      Measure(Frames(test::Silence(100), test::Silence(100)), StereoMode::Stereo);
  EXPECT_EQ(quiet.PeakL, -99.0);                          // the block itself
  EXPECT_FLOAT_EQ(drawing.bars[0].peak, float(r.PeakL));  // the window still holds the loud block
}

TEST_F(MeasureLevelsTest, TextModesShowMeanPeakOrHold) {
  const auto block = Frames(test::Constant(16384, 10), test::Constant(16384, 10));
  Measure(block, StereoMode::Stereo, MeterTextMode::Peak);
  EXPECT_EQ(drawing.bars[0].text, "-06.0");
  Measure(Frames(test::Silence(10), test::Silence(10)), StereoMode::Stereo, MeterTextMode::Hold);
  EXPECT_EQ(drawing.bars[1].text, "-06.0");
  EXPECT_FLOAT_EQ(drawing.bars[1].hold, LinearToDb(16384 / 32767.0f));
}

TEST_F(MeasureLevelsTest, NoHoldTimeGivesHoldZeroAndLeavesTheHoldWindowAlone) {
  Measure(Frames(test::Constant(1000, 10), test::Constant(1000, 10)), StereoMode::Stereo,
          MeterTextMode::Hold, 0.0f);
  EXPECT_EQ(drawing.bars[0].hold, 0.0f);
  EXPECT_EQ(drawing.bars[0].text, "00.0");
  EXPECT_EQ(state.HoldWindow.Newest().PeakL, -99.0);
}

TEST_F(MeasureLevelsTest, StereoModeDecidesWhichSidesAreDrawnOnWhichBar) {
  const auto block = Frames(test::Constant(32767, 10), test::Constant(3277, 10));  // 0 dB / -20 dB
  Measure(block, StereoMode::MonoRight, MeterTextMode::Peak);
  ASSERT_EQ(drawing.count, 1);
  EXPECT_EQ(drawing.bars[0].index, 0);
  EXPECT_EQ(drawing.bars[0].text, "-20.0");  // the right side, on bar 0
  for (StereoMode m : {StereoMode::MonoMix, StereoMode::MonoLeft}) {
    Measure(block, m, MeterTextMode::Peak);
    ASSERT_EQ(drawing.count, 1);
    EXPECT_EQ(drawing.bars[0].text, "00.0");
  }
  Measure(block, StereoMode::Stereo, MeterTextMode::Peak);
  ASSERT_EQ(drawing.count, 2);
  EXPECT_EQ(drawing.bars[1].index, 1);
  EXPECT_EQ(drawing.Bars().size(), 2u);
}

TEST_F(MeasureLevelsTest, AMonoCaptureInStereoModeDrawsAnEmptyRightBar) {
  Measure(Frames(test::Constant(1000, 10)), StereoMode::Stereo, MeterTextMode::Peak, 2.0f, false);
  ASSERT_EQ(drawing.count, 2);
  EXPECT_EQ(drawing.bars[1].vu, -99.0f);
  EXPECT_EQ(drawing.bars[1].peak, -99.0f);
  EXPECT_EQ(drawing.bars[1].text, "-99.0");
}

TEST(MeterNumberText, PadsTheWholePartToTwoDigits) {
  EXPECT_EQ(MeterNumberText(3.24).View(), "03.2");
  EXPECT_EQ(MeterNumberText(-5.0).View(), "-05.0");
  EXPECT_EQ(MeterNumberText(-99.0).View(), "-99.0");
  EXPECT_EQ(MeterNumberText(12.34).View(), "12.3");
  EXPECT_EQ(MeterNumberText(0.0).View(), "00.0");
  EXPECT_EQ(MeterNumberText(-0.04).View(), "-00.0");
  EXPECT_EQ(MeterNumberText(100.0).View(), "100.0");
  EXPECT_EQ(LevelFigureText(-12.34).View(), "-12.3db");
}

TEST(LoudnessBar, OneBarAtTheMomentaryLoudnessShowingTheShortTerm) {
  MeterDrawing drawing;
  drawing.count = 2;  // a stereo block's bars before
  LoudnessReadings r;
  r.momentaryLufs = -18.04;
  r.shortTermLufs = -23.06;
  r.integratedLufs = -30.0;
  LoudnessBar(r, drawing);
  const std::span<const VuBarValues> bars = drawing.Bars();
  ASSERT_EQ(bars.size(), 1u);
  EXPECT_EQ(bars[0].index, 0);
  EXPECT_FLOAT_EQ(bars[0].vu, -18.04f);
  EXPECT_EQ(bars[0].text, "-23.1");
  EXPECT_EQ(bars[0].hold, kNoHoldMark);

  // Silence and the first seconds have no figure: shown as no signal.
  LoudnessBar(LoudnessReadings{}, drawing);
  EXPECT_EQ(drawing.Bars()[0].vu, -99.0f);
  EXPECT_EQ(drawing.Bars()[0].text, "-99.0");
  r.shortTermLufs = -140.0;  // far below the scale
  LoudnessBar(r, drawing);
  EXPECT_EQ(drawing.Bars()[0].text, "-99.0");
}

}  // namespace
}  // namespace varn
