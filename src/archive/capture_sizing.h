#pragma once
// How many frames a capture buffer holds (S) and how many buffers make the
// ring (B).

#include <cstdint>

namespace varn {

// MP3 archives get twelve 1152-sample frames per buffer at every rate, so
// every block hands the encoder the same whole number of frames.
inline constexpr int32_t kMp3SamplesPerBuffer = 13824;

struct CaptureSizing {
  int32_t samplesPerBuffer = 0;  // S
  int32_t bufferCount = 0;       // B
};

// S: for a WAV archive (bitRate < 1) 4 * floor(round(rate * 0.288) / 4),
// else 13824. B = round(rate / S * bufferSec). Rounding halves to even.
CaptureSizing ComputeCaptureSizing(int32_t rate, int32_t bitRate, int32_t bufferSec);

// Frames per analysis segment: a sixth of a buffer, rounded down.
inline int32_t SegmentLength(int32_t samplesPerBuffer) { return samplesPerBuffer / 6; }

}  // namespace varn
