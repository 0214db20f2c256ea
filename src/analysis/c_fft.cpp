#include "analysis/c_fft.h"

#include <cmath>
#include <cstring>
#include <new>

namespace varn {

namespace {
constexpr double kTwoPi = 6.28318530717958;
constexpr int kReversedBits = 11;
constexpr int32_t kReversedSize = 1 << kReversedBits;

bool HasFourWide() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
  }();
  return has;
#else
  return false;
#endif
}

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
  fourWide_ = HasFourWide();
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
// Two or four doubles in one register; element-wise IEEE arithmetic (never
// fused: the build forbids contraction), so a group of butterflies gives
// exactly what single ones give.
typedef double Pair __attribute__((vector_size(16)));
typedef double Quad __attribute__((vector_size(32)));

// One butterfly on as many points as V holds: the partner y is turned by
// the twiddle w, then x + t and x - t. Vectors are passed by reference only, so
// the wide ones need no special calling convention.
template <class V>
[[gnu::always_inline]] inline void Butterfly(V& xr, V& xi, V& yr, V& yi, const V& wr, const V& wi) {
  const V tr = wr * yr - wi * yi;
  const V ti = wr * yi + wi * yr;
  yr = xr - tr;
  yi = xi - ti;
  xr = xr + tr;
  xi = xi + ti;
}

template <class V>
[[gnu::always_inline]] inline void Load(V& v, const double* p) {
  std::memcpy(&v, p, sizeof v);
}
template <class V>
[[gnu::always_inline]] inline void Store(double* p, const V& v) {
  std::memcpy(p, &v, sizeof v);
}

// The butterflies m = first.. of one group, as many at a time as V holds.
// Returns where it stopped: count, or the last few that do not fill a V.
template <class V>
[[gnu::always_inline]] inline int64_t Butterflies(double* __restrict rk, double* __restrict ik,
                                                  double* __restrict rj, double* __restrict ij,
                                                  const double* __restrict wre,
                                                  const double* __restrict wim, int64_t first,
                                                  int64_t count) {
  constexpr int64_t kWidth = sizeof(V) / sizeof(double);
  int64_t m = first;
  for (; m + kWidth <= count; m += kWidth) {
    V wr, wi, xr, xi, yr, yi;
    Load(wr, wre + m);
    Load(wi, wim + m);
    Load(xr, rk + m);
    Load(xi, ik + m);
    Load(yr, rj + m);
    Load(yi, ij + m);
    Butterfly(xr, xi, yr, yi, wr, wi);
    Store(rj + m, yr);
    Store(ij + m, yi);
    Store(rk + m, xr);
    Store(ik + m, xi);
  }
  return m;
}

// The real half of a butterfly, for the last stage: nothing reads the
// imaginary parts it would leave.
template <class V>
[[gnu::always_inline]] inline void RealButterfly(V& xr, V& yr, const V& yi, const V& wr,
                                                 const V& wi) {
  const V tr = wr * yr - wi * yi;
  yr = xr - tr;
  xr = xr + tr;
}

// Stages blockEnd = b and 2b of a power-of-two size in one pass: each run
// of four points m, m + b, m + 2b, m + 3b takes its two butterflies of the
// first stage and its two of the second while in registers, so the arrays
// are read and written half as often. b must be a multiple of V's width.
// When the second stage is the last, only the real parts are finished.
template <class V, bool kLast = false>
[[gnu::always_inline]] inline void TwoStages(double* __restrict re, double* __restrict im,
                                             const double* __restrict twiddleRe,
                                             const double* __restrict twiddleIm, int64_t n,
                                             int64_t b) {
  constexpr int64_t kWidth = sizeof(V) / sizeof(double);
  const double* firstRe = twiddleRe + (b - 1);
  const double* firstIm = twiddleIm + (b - 1);
  const double* secondRe = twiddleRe + (2 * b - 1);
  const double* secondIm = twiddleIm + (2 * b - 1);
  for (int64_t s = 0; s < n; s += 4 * b)
    for (int64_t m = 0; m < b; m += kWidth) {
      double* r = re + s + m;
      double* i = im + s + m;
      V r0, i0, r1, i1, r2, i2, r3, i3, wr, wi;
      Load(r0, r);
      Load(i0, i);
      Load(r1, r + b);
      Load(i1, i + b);
      Load(r2, r + 2 * b);
      Load(i2, i + 2 * b);
      Load(r3, r + 3 * b);
      Load(i3, i + 3 * b);
      Load(wr, firstRe + m);
      Load(wi, firstIm + m);
      Butterfly(r0, i0, r1, i1, wr, wi);
      Butterfly(r2, i2, r3, i3, wr, wi);
      if constexpr (kLast) {
        Load(wr, secondRe + m);
        Load(wi, secondIm + m);
        RealButterfly(r0, r2, i2, wr, wi);
        Load(wr, secondRe + b + m);
        Load(wi, secondIm + b + m);
        RealButterfly(r1, r3, i3, wr, wi);
      } else {
        Load(wr, secondRe + m);
        Load(wi, secondIm + m);
        Butterfly(r0, i0, r2, i2, wr, wi);
        Load(wr, secondRe + b + m);
        Load(wi, secondIm + b + m);
        Butterfly(r1, i1, r3, i3, wr, wi);
        Store(i, i0);
        Store(i + b, i1);
        Store(i + 2 * b, i2);
        Store(i + 3 * b, i3);
      }
      Store(r, r0);
      Store(r + b, r1);
      Store(r + 2 * b, r2);
      Store(r + 3 * b, r3);
    }
}

// Every stage from blockEnd on. The butterflies of a stage touch disjoint
// pairs, so they are done W at a time, then two, then one.
template <class W>
[[gnu::always_inline]] inline void Stages(double* __restrict re, double* __restrict im,
                                          const double* __restrict twiddleRe,
                                          const double* __restrict twiddleIm, int64_t n,
                                          int64_t blockEnd) {
  for (int64_t blockSize = 2 * blockEnd; blockSize <= n; blockEnd = blockSize, blockSize *= 2) {
    const double* __restrict wre = twiddleRe + (blockEnd - 1);
    const double* __restrict wim = twiddleIm + (blockEnd - 1);
    for (int64_t s = 0; s < n; s += blockSize) {
      // A group that would run past the end stops early (only for sizes that
      // are not a power of two).
      int64_t count = n - s - blockEnd;
      if (count > blockEnd) count = blockEnd;
      double* rk = re + s;
      double* ik = im + s;
      double* rj = re + s + blockEnd;
      double* ij = im + s + blockEnd;
      int64_t m = Butterflies<W>(rk, ik, rj, ij, wre, wim, 0, count);
      if constexpr (sizeof(W) > sizeof(Pair))
        m = Butterflies<Pair>(rk, ik, rj, ij, wre, wim, m, count);
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

// The stages after the first. For 2048 points, two stages a pass: blockEnd
// 2 with 4 two at a time, then 8 with 16 up to 512 with 1024, W at a time;
// the imaginary parts of the last stage are never read, so not made.
template <class W>
[[gnu::always_inline]] inline void LaterStages(double* re, double* im, const double* twiddleRe,
                                               const double* twiddleIm, int64_t n,
                                               int64_t blockEnd) {
  if (n == kReversedSize && blockEnd == 2) {
    TwoStages<Pair>(re, im, twiddleRe, twiddleIm, n, 2);
    for (int64_t b = 8; b < n / 4; b *= 4) TwoStages<W>(re, im, twiddleRe, twiddleIm, n, b);
    TwoStages<W, true>(re, im, twiddleRe, twiddleIm, n, n / 4);
    return;
  }
  Stages<W>(re, im, twiddleRe, twiddleIm, n, blockEnd);
}

void StagesTwoWide(double* re, double* im, const double* twiddleRe, const double* twiddleIm,
                   int64_t n, int64_t blockEnd) {
  LaterStages<Pair>(re, im, twiddleRe, twiddleIm, n, blockEnd);
}

// The same operations four at a time where the processor has 256-bit
// registers: the same bits in less time.
#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx")]]
#endif
void StagesFourWide(double* re, double* im, const double* twiddleRe, const double* twiddleIm,
                    int64_t n, int64_t blockEnd) {
  LaterStages<Quad>(re, im, twiddleRe, twiddleIm, n, blockEnd);
}

}  // namespace

void C_FFT::FourierTransform() {
  // A size whose indexes do not all fit the 11-bit reversal cannot be
  // transformed: the outputs are left as they are.
  if (n_ == 0 || !reversible_) return;
  const int32_t n = n_;
  double* __restrict re = real_.data();
  double* __restrict im = imag_.data();
  const double* __restrict in = input_.data();
  // The first stage's twiddle is (1, 0) and every imaginary part is still
  // 0, so its butterflies reduce to a sum and a difference, bit for bit.
  int64_t blockEnd = 1;
  if (n == kReversedSize) {
    // Reversed in the same pass: the partner of an even index k is the odd
    // k + 1, whose reversal lies half the array after that of k.
    const int32_t* __restrict reversed = reversed_.data();
    for (int32_t k = 0; k < n; k += 2) {
      const double a = in[reversed[k]];
      const double b = in[reversed[k] + kReversedSize / 2];
      re[k] = a + b;
      re[k + 1] = a - b;
      im[k] = 0.0;
      im[k + 1] = 0.0;
    }
    blockEnd = 2;
  } else {
    for (int32_t i = 0; i < n; ++i) {
      re[reversed_[i]] = in[i];
      im[i] = 0.0;
    }
    if (n >= 2) {
      for (int64_t k = 0; k + 1 < n; k += 2) {
        const double a = re[k];
        const double b = re[k + 1];
        re[k + 1] = a - b;
        re[k] = a + b;
      }
      blockEnd = 2;
    }
  }
  (fourWide_ ? StagesFourWide : StagesTwoWide)(re, im, twiddleRe_.data(), twiddleIm_.data(), n,
                                               blockEnd);
}

}  // namespace varn
