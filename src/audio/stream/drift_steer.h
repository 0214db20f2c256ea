#pragma once
// How a stream's clock is kept to the machine's: once a second the jitter
// buffer's fill is smoothed and compared with its aim, and the next second
// of audio is stretched or squeezed by a share of the difference, never by
// more than kMaxSteer. A stream that runs slightly fast or slow then holds
// the buffer near its aim for hours, without a jump in the audio.

#include <cstddef>
#include <cstdint>

namespace varn {

class DriftSteer {
 public:
  static constexpr double kMaxSteer = 0.005;    // 0.5 % of the rate
  static constexpr double kShare = 1.0 / 30.0;  // of the error, each second
  static constexpr double kSmoothing = 0.2;     // weight of the newest fill

  DriftSteer(int rate, size_t targetFrames) : rate_(rate), target_(targetFrames) {}

  // Forgets the fills seen (a new connection, a buffer that ran dry).
  void Reset() { smoothed_ = -1.0; }
  // Once per second of output, with the buffer's fill in frames: the frames
  // to add (positive) or drop (negative) over the next second.
  int Next(size_t fillFrames);

 private:
  int rate_;
  size_t target_;
  double smoothed_ = -1.0;
};

}  // namespace varn
