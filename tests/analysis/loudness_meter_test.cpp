// The loudness meter against the EBU's own test signals, made here as the
// documents describe them: EBU Tech 3341 (loudness metering, the "EBU Mode"
// conformance signals 1 to 5: 1 kHz sines on both channels, levels in dBFS
// of the sine's peak) and EBU Tech 3342 (loudness range, signals 1 to 3:
// two 20 s stretches of 1 kHz sine at two levels).

#include "analysis/loudness_meter.h"

#include <gtest/gtest.h>

#include "log/event_kinds.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace varn {
namespace {

constexpr int kRate = 48000;
constexpr unsigned kNoTruePeak = LoudnessMeter::kLoudnessAll & ~LoudnessMeter::kTruePeak;

// Feeds a continuous sine, stretch after stretch, in pieces of an odd size
// so the 100 ms grid falls inside them.
class Tone {
 public:
  Tone(LoudnessMeter& meter, double frequency = 1000.0, double phase = 0.0)
      : meter_(meter),
        step_(2.0 * std::numbers::pi * frequency / meter.SampleRate()),
        phase_(phase) {}
  Tone& Play(double dbfs, double seconds) {
    const double amplitude = 32768.0 * std::pow(10.0, dbfs / 20.0);
    int64_t left = std::llround(seconds * meter_.SampleRate());
    std::vector<int16_t> piece;
    while (left > 0) {
      const int64_t n = std::min<int64_t>(left, 1237);
      piece.clear();
      for (int64_t i = 0; i < n; ++i, ++n_) {
        const double v = dbfs <= -200.0 ? 0.0 : amplitude * std::sin(phase_ + step_ * n_);
        const auto s = static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
        for (int c = 0; c < meter_.Channels(); ++c) piece.push_back(s);
      }
      meter_.Add(piece.data(), static_cast<size_t>(n));
      left -= n;
    }
    return *this;
  }
  Tone& Silence(double seconds) { return Play(-300.0, seconds); }

 private:
  LoudnessMeter& meter_;
  double step_;
  double phase_;
  int64_t n_ = 0;
};

struct Stretch {
  double dbfs;
  double seconds;
};

TEST(LoudnessMeterTest, EbuTech3341Cases1To5) {
  struct Case {
    std::vector<Stretch> signal;
    double integrated;
  };
  const Case cases[] = {
      {{{-23, 20}}, -23.0},
      {{{-33, 20}}, -33.0},
      {{{-36, 10}, {-23, 60}, {-36, 10}}, -23.0},
      {{{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, -23.0},
      {{{-26, 20}, {-20, 20.1}, {-26, 20}}, -23.0},
  };
  // Exactly, and in the histogram's 0.1 LU bins.
  for (unsigned modes : {kNoTruePeak, kNoTruePeak | LoudnessMeter::kHistogram}) {
    for (size_t k = 0; k < std::size(cases); ++k) {
      SCOPED_TRACE("case " + std::to_string(k + 1) + ", modes " + std::to_string(modes));
      LoudnessMeter meter(kRate, 2, modes);
      Tone tone(meter);
      for (const Stretch& s : cases[k].signal) tone.Play(s.dbfs, s.seconds);
      ASSERT_TRUE(meter.Integrated());
      EXPECT_NEAR(*meter.Integrated(), cases[k].integrated, 0.1);
      if (k < 2) {
        // A steady tone: every momentary and short-term reading is the level.
        for (auto figure :
             {meter.Momentary(), meter.ShortTerm(), meter.MomentaryMax(), meter.ShortTermMax()}) {
          ASSERT_TRUE(figure);
          EXPECT_NEAR(*figure, cases[k].integrated, 0.1);
        }
      }
    }
  }
}

TEST(LoudnessMeterTest, EbuTech3342Cases1To3) {
  const Stretch cases[][2] = {
      {{-20, 20}, {-30, 20}}, {{-20, 20}, {-15, 20}}, {{-40, 20}, {-20, 20}}};
  const double range[] = {10.0, 5.0, 20.0};
  for (unsigned modes : {kNoTruePeak, kNoTruePeak | LoudnessMeter::kHistogram}) {
    for (size_t k = 0; k < std::size(cases); ++k) {
      SCOPED_TRACE("case " + std::to_string(k + 1) + ", modes " + std::to_string(modes));
      LoudnessMeter meter(kRate, 2, modes);
      Tone(meter).Play(cases[k][0].dbfs, cases[k][0].seconds).Play(cases[k][1].dbfs, 20);
      ASSERT_TRUE(meter.Range());
      EXPECT_NEAR(*meter.Range(), range[k], 1.0);
    }
  }
}

TEST(LoudnessMeterTest, MonoIsMeasuredAsDualMonoAtAnyRate) {
  for (int rate : {44100, 22050, 8000}) {
    SCOPED_TRACE(rate);
    LoudnessMeter meter(rate, 1);
    Tone(meter).Play(-23, 10);
    ASSERT_TRUE(meter.Integrated());
    EXPECT_NEAR(*meter.Integrated(), -23.0, 0.1);
    ASSERT_TRUE(meter.TruePeak());
    EXPECT_NEAR(*meter.TruePeak(), -23.0, 0.1);
  }
}

TEST(LoudnessMeterTest, MaximaAreTheLoudestWindowsOnTheGrid) {
  LoudnessMeter meter(kRate, 2, kNoTruePeak);
  Tone tone(meter);
  // A lone 200 ms burst fits one momentary window: half its energy in 400 ms.
  tone.Silence(2).Play(-20, 0.2).Silence(2);
  ASSERT_TRUE(meter.MomentaryMax());
  EXPECT_NEAR(*meter.MomentaryMax(), -20.0 - 10 * std::log10(2.0), 0.1);
  // 1 s at -20 between stretches at -30: the loudest 3 s hold it whole.
  tone.Play(-30, 5).Play(-20, 1).Play(-30, 5);
  EXPECT_NEAR(*meter.MomentaryMax(), -20.0, 0.1);
  ASSERT_TRUE(meter.ShortTermMax());
  EXPECT_NEAR(*meter.ShortTermMax(), 10 * std::log10((1e-2 + 2e-3) / 3), 0.1);
  // The current readings have moved on to the last stretch.
  EXPECT_NEAR(*meter.Momentary(), -30.0, 0.1);
  EXPECT_NEAR(*meter.ShortTerm(), -30.0, 0.1);
}

TEST(LoudnessMeterTest, TruePeakFindsThePeaksBetweenSamples) {
  // A quarter of the rate at 45 degrees: every sample sits 3 dB below the crest.
  LoudnessMeter meter(kRate, 2);
  Tone(meter, kRate / 4.0, std::numbers::pi / 4).Play(-6, 1);
  ASSERT_TRUE(meter.TruePeak());
  EXPECT_NEAR(*meter.TruePeak(), -6.0, 0.2);
  // The louder side counts.
  LoudnessMeter sides(kRate, 2);
  const int16_t frames[] = {1000, -16384, 0, 0};
  sides.Add(frames, 2);
  EXPECT_GT(*sides.TruePeak(), -6.1);
}

TEST(LoudnessMeterTest, FiguresThatDoNotExistYetAreMissing) {
  auto expectAllMissing = [](const LoudnessMeter& m) {
    for (auto figure : {m.Momentary(), m.ShortTerm(), m.Integrated(), m.Range(), m.TruePeak(),
                        m.MomentaryMax(), m.ShortTermMax()})
      EXPECT_FALSE(figure);
  };
  LoudnessMeter meter(kRate, 2);
  expectAllMissing(meter);
  // Silence stays under every gate and has no peak.
  Tone tone(meter);
  tone.Silence(10);
  expectAllMissing(meter);
  // 300 ms: a true peak, but neither a momentary window nor a gated block.
  meter.Reset();
  tone.Play(-23, 0.3);
  EXPECT_TRUE(meter.TruePeak());
  EXPECT_FALSE(meter.Momentary());
  EXPECT_FALSE(meter.Integrated());
  // 2.9 s: momentary and integrated, not yet short-term or a range.
  tone.Play(-23, 2.6);
  EXPECT_TRUE(meter.Momentary());
  EXPECT_TRUE(meter.MomentaryMax());
  EXPECT_TRUE(meter.Integrated());
  EXPECT_FALSE(meter.ShortTerm());
  EXPECT_FALSE(meter.ShortTermMax());
  EXPECT_FALSE(meter.Range());
  tone.Play(-23, 0.1);
  EXPECT_TRUE(meter.ShortTerm());
  ASSERT_TRUE(meter.Range());
  EXPECT_NEAR(*meter.Range(), 0.0, 0.1);
  // Reset forgets it all.
  meter.Reset();
  expectAllMissing(meter);
  // Neither a meter of three channels nor an empty one measures anything.
  LoudnessMeter three(kRate, 3);
  EXPECT_FALSE(three.Valid());
  const int16_t frame[] = {1000, 1000, 1000};
  three.Add(frame, 1);
  expectAllMissing(three);
  expectAllMissing(LoudnessMeter());
}

TEST(LoudnessMeterTest, AMovedMeterGoesOnMeasuring) {
  LoudnessMeter first(kRate, 2, kNoTruePeak);
  Tone(first).Play(-23, 2);
  LoudnessMeter second(std::move(first));
  EXPECT_FALSE(first.Valid());  // NOLINT(bugprone-use-after-move): moved-from is empty
  Tone(second).Play(-23, 2);
  LoudnessMeter third;
  third = std::move(second);
  ASSERT_TRUE(third.ShortTerm());  // 4 s in all, across both moves
  EXPECT_NEAR(*third.ShortTerm(), -23.0, 0.1);
}

TEST(LoudnessMeterTest, TheEventLineShowsEachFigureOrDashes) {
  EXPECT_EQ(LoudnessMessage({-23.06, 5.24, -20.0, -21.0, -0.96}),
            "ラウドネス I -23.1LUFS LRA 5.2LU TP -1.0dBTP");
  EXPECT_EQ(LoudnessMessage({}), "ラウドネス I ---LUFS LRA ---LU TP ---dBTP");
  EXPECT_EQ(EventKind(LoudnessMessage({})), "loudness");
  EXPECT_EQ(LoudnessMessage({-70.0, std::nullopt, std::nullopt, std::nullopt, 0.5}),
            "ラウドネス I -70.0LUFS LRA ---LU TP 0.5dBTP");
}

}  // namespace
}  // namespace varn
