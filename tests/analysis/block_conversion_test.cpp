#include "analysis/block_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis_test_support.h"

namespace varn {
namespace {

std::vector<Frame> Convert(const std::vector<int16_t>& interleaved, int channels, float gainDb,
                           StereoMode mode) {
  const int32_t count = static_cast<int32_t>(interleaved.size()) / channels;
  std::vector<Frame> out(count, Frame{111, 111});
  ConvertBlock(interleaved.data(), channels, count, AnalysisGain(gainDb), mode, out.data());
  return out;
}

std::vector<std::pair<int, int>> Pairs(const std::vector<Frame>& f) {
  std::vector<std::pair<int, int>> p;
  for (const Frame& x : f) p.emplace_back(x.L, x.R);
  return p;
}

using P = std::vector<std::pair<int, int>>;

TEST(ConvertBlock, GainRoundsToNearestAndSaturates) {
  // 10^(6/20) = 1.99526...: 1000 -> 1995.26, 16422 -> 32766.2, 16423 -> 32768.2
  EXPECT_EQ(
      Pairs(Convert({1000, -1000, 16422, -16422, 16423, -20000}, 2, 6.0f, StereoMode::Stereo)),
      (P{{1995, -1995}, {32766, -32766}, {32767, -32767}}));
  // At -110 dB or below the analysis sees silence.
  EXPECT_EQ(Pairs(Convert({30000, -30000}, 2, -110.0f, StereoMode::Stereo)), (P{{0, 0}}));
  // An absurd gain saturates every non-zero sample and leaves zeros alone.
  EXPECT_EQ(Pairs(Convert({1, 0, -1, 0}, 2, 1e30f, StereoMode::Stereo)),
            (P{{32767, 0}, {-32767, 0}}));
}

TEST(ConvertBlock, MonoMixRoundsHalvesToEven) {
  // (L + R) / 2: 1.5 -> 2, 0.5 -> 0, 2.5 -> 2, -1.5 -> -2, -0.5 -> 0
  EXPECT_EQ(
      Pairs(Convert({1, 2, 1, 0, 5, 0, -3, 0, -1, 0, 32767, 32767}, 2, 0.0f, StereoMode::MonoMix)),
      (P{{2, 2}, {0, 0}, {2, 2}, {-2, -2}, {0, 0}, {32767, 32767}}));
}

// Every mode and gain against the formula written out plainly: nearest
// integer with halves to even, then saturation to +-32767.
TEST(ConvertBlock, AgreesWithThePlainFormulaForEveryModeAndGain) {
  std::mt19937 gen(5);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<int16_t> in(2 * 4000);
  for (int16_t& v : in) v = static_cast<int16_t>(sample(gen));
  in[0] = -32768;
  in[1] = -32768;
  in[2] = 3;  // odd sums with both parities of their halves
  in[3] = 2;
  in[4] = 5;
  in[5] = 2;
  auto plain = [](double v) {
    const double r = std::nearbyint(v);
    return static_cast<int16_t>(r >= 32767 ? 32767 : (r <= -32767 ? -32767 : r));
  };
  for (float db : {0.0f, -6.0206f, 0.01f, 3.5f, -40.0f, 20.0f}) {
    const double g = AnalysisGain(db);
    for (StereoMode m :
         {StereoMode::Stereo, StereoMode::MonoMix, StereoMode::MonoLeft, StereoMode::MonoRight}) {
      const auto out = Convert(in, 2, db, m);
      for (size_t i = 0; i < out.size(); ++i) {
        const int16_t l = plain(in[2 * i] * g), r = plain(in[2 * i + 1] * g);
        const int16_t mix = plain((double(in[2 * i]) + in[2 * i + 1]) * g / 2);
        const Frame want = m == StereoMode::Stereo     ? Frame{l, r}
                           : m == StereoMode::MonoMix  ? Frame{mix, mix}
                           : m == StereoMode::MonoLeft ? Frame{l, 0}
                                                       : Frame{0, r};
        ASSERT_EQ(out[i].L, want.L) << db << " dB, mode " << int(m) << ", frame " << i;
        ASSERT_EQ(out[i].R, want.R) << db << " dB, mode " << int(m) << ", frame " << i;
      }
    }
    const auto mono =
        Convert(std::vector<int16_t>(in.begin(), in.begin() + 999), 1, db, StereoMode::Stereo);
    for (size_t i = 0; i < mono.size(); ++i)
      ASSERT_EQ(mono[i].L, plain(in[i] * g)) << db << " dB mono " << i;
  }
}

}  // namespace
}  // namespace varn
