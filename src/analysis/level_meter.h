#pragma once
// The metering step: a block's RMS and peak levels, the short window that
// drives the VU bar, the longer one that drives the peak-hold mark, and the
// DrawVU arguments of each bar.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/analysis_output.h"
#include "analysis/analysis_texts.h"
#include "analysis/analysis_types.h"

namespace varn {

// The block's own levels. The R sums are taken only for a stereo capture.
LevelRecord BlockLevels(std::span<const Frame> block, bool stereoCapture);

// RMS of a sum of squares over `count` samples, in dB: the argument is
// rounded to single precision before the logarithm; kNoSignalDb for a sum of
// exactly zero.
double RmsDb(double sumOfSquares, int64_t count);
// Peak of a largest magnitude, in dB; kNoSignalDb for 0.
double PeakDb(int32_t largestMagnitude);

// A fixed-length ring of level records, oldest first. Pushing drops the
// oldest: the same as moving every entry down by one and storing the new
// record last, without moving anything.
class LevelWindow {
 public:
  // `size` entries, each {-99, -99, -99, -99}.
  void Reset(int32_t size);
  int32_t Size() const { return static_cast<int32_t>(entries_.size()); }
  void Push(const LevelRecord& record);
  // Entry k, 0 the oldest, Size()-1 the newest.
  const LevelRecord& At(int32_t k) const;
  const LevelRecord& Newest() const;
  // Means of the RMS values (of the dB values, not of powers), oldest to newest.
  double MeanRmsL() const;
  double MeanRmsR() const;
  // Maxima of the peaks, starting from -99.
  double MaxPeakL() const;
  double MaxPeakR() const;

 private:
  std::vector<LevelRecord> entries_;
  int32_t oldest_ = 0;
};

// Window lengths in blocks: about 0.3 s for the meter (plus one) and the hold
// time for the hold mark, each at least 2 and at most kMaxLevelWindow.
inline constexpr int32_t kMaxLevelWindow = 4096;
int32_t MeterWindowLength(int32_t sampleRate, int32_t segmentLength);
int32_t HoldWindowLength(int32_t sampleRate, int32_t segmentLength, float peakHoldSec);

// What one MeasureLevels call hands to the meter: up to two bars. The bars'
// texts point into `texts`; Bars() points them there afresh, so a drawing
// may be copied or moved with the record that holds it.
struct MeterDrawing {
  std::array<VuBarValues, 2> bars{};
  std::array<ShortText, 2> texts{};
  int count = 0;
  std::span<const VuBarValues> Bars() {
    for (int i = 0; i < count; ++i) bars[i].text = texts[i].View();
    return {bars.data(), static_cast<size_t>(count)};
  }
};

struct MeterState {
  LevelWindow MeterWindow;
  LevelWindow HoldWindow;
};

// The metering step over one block: pushes the block's record into both
// windows, fills `drawing` with the bars for the stereo mode, and hands the
// block's own record back (the figures and the over-level monitor follow the
// signal without the meter's averaging).
LevelRecord MeasureLevels(MeterState& state, std::span<const Frame> block, bool stereoCapture,
                          float peakHoldSec, MeterTextMode textMode, StereoMode stereoMode,
                          MeterDrawing& drawing);

}  // namespace varn
