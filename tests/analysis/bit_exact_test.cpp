// The level, conversion and FFT results are defined to the bit. A compiler
// flag that lets the optimiser fuse or reorder floating-point operations
// (fused multiply-add, fast-math) changes them, and this test notices.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "analysis/block_conversion.h"
#include "analysis/c_fft.h"
#include "analysis/level_math.h"
#include "support/signal_generator.h"

namespace varn {
namespace {

class Fingerprint {
 public:
  template <class T>
  void Add(const T& value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (const unsigned char b : bytes) hash_ = (hash_ ^ b) * 1099511628211ull;
  }
  uint64_t Value() const { return hash_; }

 private:
  uint64_t hash_ = 14695981039346656037ull;
};

TEST(BitExact, FftLevelsAndConversionKeepTheirExactResults) {
  const test::Samples noise = test::Noise(7, 12000, 2048);
  C_FFT fft;
  fft.Init(2048);
  for (int32_t i = 0; i < 2048; ++i) fft.RealIn(i, noise[static_cast<size_t>(i)] / 5.0);
  fft.FourierTransform();
  Fingerprint transform;
  for (int32_t j = 0; j <= 1024; ++j) transform.Add(fft.RealOut(j));

  Fingerprint levels;
  for (int i = 1; i <= 2000; ++i) {
    levels.Add(LinearToDb(static_cast<float>(i) / 1999.0f));
    levels.Add(DbToLinear(-100.0f + static_cast<float>(i) * 0.07f));
  }

  std::vector<int16_t> stereo;
  for (const int16_t v : noise) {
    stereo.push_back(v);
    stereo.push_back(static_cast<int16_t>(v / 3));
  }
  std::vector<Frame> block(noise.size());
  ConvertBlock(stereo.data(), 2, static_cast<int32_t>(noise.size()), AnalysisGain(-3.3f),
               StereoMode::MonoMix, block.data());
  Fingerprint converted;
  for (const Frame& f : block) converted.Add(f);

  EXPECT_EQ(transform.Value(), 2065359387585239972u);
  EXPECT_EQ(levels.Value(), 17109356999405190774u);
  EXPECT_EQ(converted.Value(), 7376244363395791269u);
}

}  // namespace
}  // namespace varn
