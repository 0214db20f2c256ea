#pragma once
// The VU scale: 256 positions of the meter, each a level in dB, position
// 207 being 0 dB (full scale) and 255 +10 dB. Built once per process on the
// first lookup and never changed.

namespace varn {

inline constexpr int kVuScaleSize = 256;
inline constexpr int kVuFullScalePosition = 207;

// The level at a position 0..255 (single precision, as the table stores it),
// and its amplitude ratio.
float VuScaleDb(int position);
float VuScaleLinear(int position);

// Position of a level, 0..255: interpolated between the two entries around
// it, or the nearer entry (a tie takes the lower one).
float VuPositionInterpolated(float db);
int VuPositionNearest(float db);

}  // namespace varn
