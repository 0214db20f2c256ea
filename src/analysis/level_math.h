#pragma once
// Amplitude ratios and decibels, shared by the meters, the detectors and the
// archive gain. Both compute in double and hand back single precision.

namespace varn {

// x <= 0 gives -110; otherwise 20 log10(x).
float LinearToDb(float x);
// d <= -110 gives 0; otherwise 10^(d / 20).
float DbToLinear(float d);

}  // namespace varn
