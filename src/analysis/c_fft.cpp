#include "analysis/c_fft.h"

#include <cmath>
#include <cstring>
#include <new>

namespace varn {

namespace {
constexpr double kTwoPi = 6.28318530717958;
constexpr int kReversedBits = 11;

int32_t Reverse11(int32_t i) {
  int32_t r = 0;
  for (int b = 0; b < kReversedBits; ++b) {
    r = 2 * r + (i % 2);
    i /= 2;
  }
  return r;
}
}  // namespace

void C_FFT::Init(int32_t pNum) {
  n_ = 0;
  reversible_ = false;
  const int32_t n = pNum > 0 ? pNum : 0;
  try {
    input_.assign(n, 0.0);
    real_.assign(n, 0.0);
    imag_.assign(n, 0.0);
    reversed_.resize(n);
    twiddleRe_.assign(n > 0 ? n - 1 : 0, 0.0);
    twiddleIm_.assign(n > 0 ? n - 1 : 0, 0.0);
  } catch (const std::bad_alloc&) {
    input_.clear();
    real_.clear();
    imag_.clear();
    reversed_.clear();
    return;  // stays at N = 0: every call does nothing
  }
  n_ = n;
  reversible_ = true;
  for (int32_t i = 0; i < n; ++i) {
    reversed_[i] = Reverse11(i);
    if (reversed_[i] >= n) reversible_ = false;
  }
  for (int64_t blockEnd = 1, blockSize = 2; blockSize <= n; blockEnd = blockSize, blockSize *= 2) {
    const double theta = kTwoPi / static_cast<double>(blockSize);
    const double halfSine = std::sin(theta / 2.0);
    const double alpha = 2.0 * halfSine * halfSine;  // 1 - cos(theta), without cancellation
    const double beta = std::sin(theta);
    double wr = 1.0;
    double wi = 0.0;
    for (int64_t k = 0; k < blockEnd; ++k) {
      twiddleRe_[blockEnd - 1 + k] = wr;
      twiddleIm_[blockEnd - 1 + k] = wi;
      const double nextWr = wr - (alpha * wr + beta * wi);
      const double nextWi = wi - (alpha * wi - beta * wr);
      wr = nextWr;
      wi = nextWi;
    }
  }
}

namespace {
// Two doubles in one register; element-wise IEEE arithmetic, so a pair of
// butterflies gives exactly what two single ones give.
typedef double Pair __attribute__((vector_size(16)));

inline Pair LoadPair(const double* p) {
  Pair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void StorePair(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }
}  // namespace

void C_FFT::FourierTransform() {
  // A size whose indexes do not all fit the 11-bit reversal cannot be
  // transformed: the outputs are left as they are.
  if (n_ == 0 || !reversible_) return;
  const int32_t n = n_;
  double* __restrict re = real_.data();
  double* __restrict im = imag_.data();
  const double* __restrict in = input_.data();
  for (int32_t i = 0; i < n; ++i) {
    re[reversed_[i]] = in[i];
    im[i] = 0.0;
  }
  // The first stage's twiddle is (1, 0) and every imaginary part is still
  // 0, so its butterflies reduce to a sum and a difference, bit for bit.
  int64_t blockEnd = 1;
  int64_t blockSize = 2;
  if (blockSize <= n) {
    for (int64_t k = 0; k + 1 < n; k += 2) {
      const double a = re[k];
      const double b = re[k + 1];
      re[k + 1] = a - b;
      re[k] = a + b;
    }
    blockEnd = 2;
    blockSize = 4;
  }
  // The butterflies of a stage touch disjoint pairs, so they are done two at
  // a time.
  for (; blockSize <= n; blockEnd = blockSize, blockSize *= 2) {
    const double* __restrict wre = twiddleRe_.data() + (blockEnd - 1);
    const double* __restrict wim = twiddleIm_.data() + (blockEnd - 1);
    for (int64_t s = 0; s < n; s += blockSize) {
      // A group that would run past the end stops early (only for sizes that
      // are not a power of two).
      int64_t count = n - s - blockEnd;
      if (count > blockEnd) count = blockEnd;
      double* __restrict rk = re + s;
      double* __restrict ik = im + s;
      double* __restrict rj = re + s + blockEnd;
      double* __restrict ij = im + s + blockEnd;
      int64_t m = 0;
      for (; m + 1 < count; m += 2) {
        const Pair wr = LoadPair(wre + m);
        const Pair wi = LoadPair(wim + m);
        const Pair xr = LoadPair(rj + m);
        const Pair xi = LoadPair(ij + m);
        const Pair tr = wr * xr - wi * xi;
        const Pair ti = wr * xi + wi * xr;
        const Pair ar = LoadPair(rk + m);
        const Pair ai = LoadPair(ik + m);
        StorePair(rj + m, ar - tr);
        StorePair(ij + m, ai - ti);
        StorePair(rk + m, ar + tr);
        StorePair(ik + m, ai + ti);
      }
      for (; m < count; ++m) {
        const double tr = wre[m] * rj[m] - wim[m] * ij[m];
        const double ti = wre[m] * ij[m] + wim[m] * rj[m];
        rj[m] = rk[m] - tr;
        ij[m] = ik[m] - ti;
        rk[m] = rk[m] + tr;
        ik[m] = ik[m] + ti;
      }
    }
  }
}

}  // namespace varn
