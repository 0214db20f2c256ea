#include "analysis/c_fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace varn {
namespace {

constexpr int kN = 2048;

C_FFT Transformed(const std::vector<double>& x) {
  C_FFT f;
  f.Init(kN);
  for (int i = 0; i < kN; ++i) f.RealIn(i, x[i]);
  f.FourierTransform();
  return f;
}

// The transform against a direct evaluation of sum x[n] e^(+2 pi i n m / N),
// whose real part is sum x[n] cos(2 pi n m / N), in long double.
TEST(Fft, MatchesADirectTransformOfRandomInput) {
  std::mt19937_64 gen(20261207);
  std::uniform_real_distribution<double> dist(-6553.4, 6553.4);
  std::vector<double> x(kN);
  for (double& v : x) v = dist(gen);
  const C_FFT f = Transformed(x);

  std::vector<long double> cosine(kN);
  for (int p = 0; p < kN; ++p)
    cosine[p] = std::cos(2.0L * std::numbers::pi_v<long double> * p / kN);
  long double largest = 0;
  std::vector<long double> direct(kN);
  for (int m = 0; m < kN; ++m) {
    long double sum = 0;
    for (int n = 0; n < kN; ++n) sum += x[n] * cosine[(static_cast<int64_t>(n) * m) % kN];
    direct[m] = sum;
    largest = std::max(largest, std::fabs(sum));
  }
  for (int m = 0; m < kN; ++m)
    ASSERT_LE(std::fabs(f.RealOut(m) - direct[m]), 1e-9L * largest) << "bin " << m;
}

// The transform exactly as described: 11-bit reversal, the twiddle advanced
// by its recurrence inside every group, no scaling. The object must give the
// same bits, however it arranges the work.
std::vector<double> LiteralTransform(const std::vector<double>& input) {
  const int n = static_cast<int>(input.size());
  std::vector<double> re(n), im(n);
  for (int i = 0; i < n; ++i) {
    int r = 0;
    for (int b = 0, v = i; b < 11; ++b, v /= 2) r = 2 * r + v % 2;
    re[r] = input[i];
    im[i] = 0;
  }
  for (int blockEnd = 1, blockSize = 2; blockSize <= n; blockEnd = blockSize, blockSize *= 2) {
    const double theta = 6.28318530717958 / blockSize;
    const double alpha = 2.0 * std::sin(theta / 2) * std::sin(theta / 2);
    const double beta = std::sin(theta);
    for (int s = 0; s < n; s += blockSize) {
      double wr = 1.0, wi = 0.0;
      for (int m = 0; m < blockEnd; ++m) {
        const int k = s + m, j = k + blockEnd;
        if (j > n - 1) break;
        const double tr = wr * re[j] - wi * im[j];
        const double ti = wr * im[j] + wi * re[j];
        re[j] = re[k] - tr;
        im[j] = im[k] - ti;
        re[k] = re[k] + tr;
        im[k] = im[k] + ti;
        const double nextWr = wr - (alpha * wr + beta * wi);
        wi = wi - (alpha * wi - beta * wr);
        wr = nextWr;
      }
    }
  }
  return re;
}

// Four butterflies at a time where the processor allows, two where it does
// not: the same bits either way, over several transforms of one object.
TEST(Fft, GivesTheBitsOfTheLiteralAlgorithmFourOrTwoAtATime) {
  std::mt19937_64 gen(99);
  std::uniform_int_distribution<int> sample(-32767, 32767);
  for (const bool narrow : {false, true}) {
    C_FFT f;
    f.Init(kN);
    if (narrow) f.UseTwoWide();
    for (int round = 0; round < 3; ++round) {
      std::vector<double> x(kN);
      for (double& v : x) v = sample(gen) / 10.0;
      for (int i = 0; i < kN; ++i) f.RealIn(i, x[i]);
      f.FourierTransform();
      const std::vector<double> literal = LiteralTransform(x);
      for (int m = 0; m < kN; ++m)
        ASSERT_EQ(f.RealOut(m), literal[m]) << "bin " << m << (narrow ? ", two at a time" : "");
    }
  }
}

TEST(Fft, LeavesItsInputSoOneSampleCanBeReplacedAndTransformedAgain) {
  C_FFT f;
  f.Init(kN);
  f.RealIn(5, 2.0);
  f.FourierTransform();
  f.RealIn(0, 1.0);  // now impulse at 0 plus the old sample at 5
  f.FourierTransform();
  // bin m = 1 + 2 cos(2 pi 5 m / N)
  for (int m : {0, 1, 100, 1024, 2047})
    EXPECT_NEAR(f.RealOut(m), 1.0 + 2.0 * std::cos(2.0 * std::numbers::pi * 5 * m / kN), 1e-12);
}

TEST(Fft, IndexesOutsideTheArraysAreIgnored) {
  C_FFT f;
  f.Init(kN);
  f.RealIn(kN, 5.0);
  f.RealIn(-1, 5.0);
  f.FourierTransform();
  EXPECT_EQ(f.RealOut(0), 0.0);
  EXPECT_EQ(f.RealOut(kN), 0.0);
  EXPECT_EQ(f.RealOut(-3), 0.0);

  f.RealIn(0, 1.0);
  f.FourierTransform();
  f.Init(kN);  // afresh: everything zero again
  EXPECT_EQ(f.RealOut(7), 0.0);
  f.FourierTransform();
  EXPECT_EQ(f.RealOut(7), 0.0);
}

// Other sizes are not transformed correctly (the reversal is fixed at 11
// bits), but they must never write outside their arrays.
TEST(Fft, OtherSizesStaySafe) {
  for (int n : {0, 1, 2, 1024, 3000, 4096}) {
    C_FFT f;
    f.Init(n);
    EXPECT_EQ(f.Size(), n);
    for (int i = 0; i < n; ++i) f.RealIn(i, (i % 7) - 3.0);
    f.FourierTransform();
    EXPECT_EQ(f.RealOut(n), 0.0);
  }
  C_FFT one;
  one.Init(1);
  one.RealIn(0, 4.5);
  one.FourierTransform();
  EXPECT_EQ(one.RealOut(0), 4.5);
  C_FFT negative;
  negative.Init(-5);
  EXPECT_EQ(negative.Size(), 0);
  negative.FourierTransform();
}

}  // namespace
}  // namespace varn
