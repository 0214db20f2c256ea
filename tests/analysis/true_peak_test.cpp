// Our true-peak loop against libebur128's own, which it must equal.

#include "analysis/true_peak.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace varn {
namespace {

double LibraryTruePeak(int rate, int channels, const std::vector<int16_t>& s) {
  ebur128_state* st = ebur128_init(channels, rate, EBUR128_MODE_TRUE_PEAK);
  ebur128_add_frames_short(st, s.data(), s.size() / channels);
  double peak = 0.0;
  for (int c = 0; c < channels; ++c) {
    double v = 0.0;
    ebur128_true_peak(st, c, &v);
    peak = std::max(peak, v);
  }
  ebur128_destroy(&st);
  return peak;
}

double OurTruePeak(int rate, int channels, const std::vector<int16_t>& s) {
  TruePeakMeter meter(rate, channels);
  // Pieces of changing, odd sizes: the history must carry across them.
  size_t frames = s.size() / channels;
  size_t at = 0;
  for (size_t piece = 1; at < frames; piece = piece * 3 % 2047 + 1) {
    const size_t n = std::min(piece, frames - at);
    meter.Add(s.data() + at * channels, n);
    at += n;
  }
  return meter.Peak();
}

TEST(TruePeakTest, EqualsLibebur128AtEveryOversamplingFactor) {
  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0.0, 3000.0);
  for (int rate : {44100, 48000, 96000, 192000}) {
    for (int channels : {1, 2}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
      // Noise, a tone at a quarter of the rate with its crests on the
      // samples, then on one side the same tone growing louder, its crests
      // midway between the samples, 3 dB above them: its samples stay below
      // the first tone's, its true peak does not, and it is largest at the end.
      std::vector<int16_t> s;
      for (int i = 0; i < rate / 2 * channels; ++i)
        s.push_back(static_cast<int16_t>(std::clamp(noise(gen), -32767.0, 32767.0)));
      for (int i = 0; i < rate / 4 * channels; ++i)
        s.push_back(static_cast<int16_t>(
            std::lround(24000 * std::sin(std::numbers::pi / 2 * (i / channels)))));
      for (int i = 0; i < rate / 4; ++i) {
        const double gain = 0.85 + 0.25 * i / (rate / 4);
        const double v = 30000 * gain * std::sin(std::numbers::pi / 2 * i + std::numbers::pi / 4);
        s.push_back(static_cast<int16_t>(std::lround(v)));
        if (channels == 2) s.push_back(0);
      }
      const double library = LibraryTruePeak(rate, channels, s);
      EXPECT_NEAR(20 * std::log10(OurTruePeak(rate, channels, s)), 20 * std::log10(library), 0.001);
      // Oversampled, the crests show (the step between the tones may ring
      // above them); at 192 kHz only the samples count, the first tone's.
      const double relative = 20 * std::log10(library * 32768 / 30000);
      if (rate < 192000)
        EXPECT_GT(relative, -0.2);
      else
        EXPECT_NEAR(relative, 20 * std::log10(24000.0 / 30000), 0.01);
    }
  }
}

TEST(TruePeakTest, ResetForgetsThePeakAndTheHistory) {
  TruePeakMeter meter(48000, 1);
  const int16_t loud[] = {32767, -32767, 32767, -32767};
  meter.Add(loud, 4);
  EXPECT_GE(meter.Peak(), 32767.0 / 32768);
  meter.Reset();
  EXPECT_EQ(meter.Peak(), 0.0);
  const std::vector<int16_t> silence(100, 0);
  meter.Add(silence.data(), silence.size());
  EXPECT_EQ(meter.Peak(), 0.0);  // no trace of the loud samples before the reset
}

}  // namespace
}  // namespace varn
