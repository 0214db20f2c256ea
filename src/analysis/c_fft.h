#pragma once
// A small real-input transform object: write N samples, transform, read the
// real part of each bin. Radix-2 decimation in time without window and
// without scaling; bin m holds sum x[n] e^(+2 pi i n m / N), whose magnitude
// for real input equals that of the usual forward transform. Only N = 2048
// gives a correct result: the bit reversal always reverses 11 bits.

#include <cstdint>
#include <span>
#include <vector>

namespace varn {

class C_FFT {
 public:
  // Sets N and allocates every array afresh, zero-filled. This is the only
  // allocation: transforms work in place.
  void Init(int32_t pNum);
  int32_t Size() const { return n_; }

  // RealIn(index) = value; ignored when index is outside 0..N-1.
  void RealIn(int32_t index, double value) {
    if (index >= 0 && index < n_) input_[index] = value;
  }
  // The N inputs themselves, for writing a run of samples at once.
  std::span<double> Inputs() { return {input_.data(), static_cast<size_t>(n_)}; }
  // The input array is left as it is, so samples can be replaced one at a
  // time and transformed again.
  void FourierTransform();
  // The real part of bin index; 0 outside 0..N-1.
  double RealOut(int32_t index) const { return (index >= 0 && index < n_) ? real_[index] : 0.0; }
  // The N real parts themselves.
  std::span<const double> RealOuts() const { return {real_.data(), static_cast<size_t>(n_)}; }

  // The butterflies run four at a time where the processor has 256-bit
  // registers, else two at a time; both give the same bits. After Init,
  // this takes the narrow way on any processor (for tests).
  void UseTwoWide() { fourWide_ = false; }

 private:
  int32_t n_ = 0;
  bool reversible_ = false;  // every 11-bit reversal lands inside the array
  bool fourWide_ = false;
  std::vector<double> input_;
  std::vector<double> real_;
  std::vector<double> imag_;
  std::vector<int32_t> reversed_;
  // The twiddles of every stage, stage by stage (blockEnd values from
  // offset blockEnd - 1). Each group of a stage restarts the same
  // recurrence, so the sequence is computed once here and is bit for bit
  // what the recurrence gives inside the transform.
  std::vector<double> twiddleRe_;
  std::vector<double> twiddleIm_;
};

}  // namespace varn
