#pragma once
// The analysed block and the level record every analyser shares.

#include <cstdint>

namespace varn {

// One sample frame after gain and stereo mode. A mono capture fills L only.
struct Frame {
  int16_t L = 0;
  int16_t R = 0;
};
static_assert(sizeof(Frame) == 4, "a frame is two 16-bit samples");

// Levels in dB relative to 16-bit full scale (32767).
inline constexpr double kNoSignalDb = -99.0;  // a sum or maximum of exactly zero

struct LevelRecord {
  double RmsL = kNoSignalDb;
  double RmsR = kNoSignalDb;
  double PeakL = kNoSignalDb;
  double PeakR = kNoSignalDb;
};

enum class StereoMode : int32_t { Stereo = 0, MonoMix = 1, MonoLeft = 2, MonoRight = 3 };
// What the meter's number shows; Lufs turns the meter into a one-bar
// loudness meter, offered only while the loudness view is switched on.
enum class MeterTextMode : int32_t { Rms = 0, Peak = 1, Hold = 2, Lufs = 3 };

// A stored value outside the known modes (a hand-edited setting) is read as
// the default, so a channel is never left with no side watched.
inline StereoMode StereoModeFromInt(int32_t value) {
  return (value >= 0 && value <= 3) ? static_cast<StereoMode>(value) : StereoMode::Stereo;
}
// Without the loudness view a stored Lufs reads as Rms, so the meter looks
// as it always has.
inline MeterTextMode MeterTextModeFromInt(int32_t value, bool loudnessView = false) {
  if (value == static_cast<int32_t>(MeterTextMode::Lufs))
    return loudnessView ? MeterTextMode::Lufs : MeterTextMode::Rms;
  return (value >= 0 && value <= 2) ? static_cast<MeterTextMode>(value) : MeterTextMode::Rms;
}
// The meter corner's cycle: RMS, Peak, Hold, then LUFS when offered.
inline MeterTextMode NextMeterTextMode(MeterTextMode mode, bool loudnessView) {
  switch (mode) {
    case MeterTextMode::Rms:
      return MeterTextMode::Peak;
    case MeterTextMode::Peak:
      return MeterTextMode::Hold;
    case MeterTextMode::Hold:
      return loudnessView ? MeterTextMode::Lufs : MeterTextMode::Rms;
    default:
      return MeterTextMode::Rms;
  }
}

// Which sides the monitors feed and watch in each mode.
inline bool WatchesLeft(StereoMode mode) { return mode != StereoMode::MonoRight; }
inline bool WatchesRight(StereoMode mode) {
  return mode == StereoMode::Stereo || mode == StereoMode::MonoRight;
}

inline constexpr int kLeftSide = 0;
inline constexpr int kRightSide = 1;
inline constexpr int kWholeChannel = -1;

}  // namespace varn
