#pragma once
// After metering: the highest and lowest levels of the run for the level
// figures box, and the over-level monitor. Both act on the block's own level
// record, and only once the channel is past its first ticks.

#include <array>
#include <cstdint>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"

namespace varn {

struct LevelWatchState {
  LevelRecord LevelMax{};  // {-99, -99, -99, -99} at start
  LevelRecord LevelMin{0.0, 0.0, 0.0, 0.0};
  std::array<int32_t, 2> OverLevelState{0, 0};  // left, right: 1 = over

  void Reset() { *this = LevelWatchState{}; }
};

// Figure cells: 0 max left, 1 max right, 2 min left, 3 min right (RMS).
// Comparisons are strict; the box is redrawn once when any cell changed.
void UpdateLevelFigures(LevelWatchState& state, int channel, const LevelRecord& record,
                        StereoMode mode, AnalysisView* view);

// A watched side whose peak rises above the threshold logs "レベルUP ", and
// logs "レベルDOWN " on the first block at or below it. No hysteresis: the
// state follows every block.
void WatchOverLevel(LevelWatchState& state, int channel, const LevelRecord& record, StereoMode mode,
                    float maxGateLevel, AnalysisEvents* events);

}  // namespace varn
