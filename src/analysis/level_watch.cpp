#include "analysis/level_watch.h"

#include "analysis/analysis_texts.h"

namespace varn {

namespace {
struct SideFields {
  double LevelRecord::*rms;
  double LevelRecord::*peak;
  int maxCell;
  int minCell;
};
constexpr SideFields kLeft{&LevelRecord::RmsL, &LevelRecord::PeakL, 0, 2};
constexpr SideFields kRight{&LevelRecord::RmsR, &LevelRecord::PeakR, 1, 3};
}  // namespace

void UpdateLevelFigures(LevelWatchState& state, int channel, const LevelRecord& record,
                        StereoMode mode, AnalysisView* view) {
  bool changed = false;
  auto side = [&](const SideFields& f) {
    if (record.*f.peak > state.LevelMax.*f.peak) state.LevelMax.*f.peak = record.*f.peak;
    if (record.*f.rms > state.LevelMax.*f.rms) {
      state.LevelMax.*f.rms = record.*f.rms;
      if (view) view->SetLevelFigure(channel, f.maxCell, LevelFigureText(record.*f.rms).View());
      changed = true;
    }
    if (record.*f.peak < state.LevelMin.*f.peak) state.LevelMin.*f.peak = record.*f.peak;
    if (record.*f.rms < state.LevelMin.*f.rms) {
      state.LevelMin.*f.rms = record.*f.rms;
      if (view) view->SetLevelFigure(channel, f.minCell, LevelFigureText(record.*f.rms).View());
      changed = true;
    }
  };
  if (WatchesLeft(mode)) side(kLeft);
  if (WatchesRight(mode)) side(kRight);
  if (changed && view) view->RedrawLevelFigures(channel);
}

void WatchOverLevel(LevelWatchState& state, int channel, const LevelRecord& record, StereoMode mode,
                    float maxGateLevel, AnalysisEvents* events) {
  auto side = [&](int s, double peak) {
    int32_t& over = state.OverLevelState[s];
    if (peak > maxGateLevel) {
      if (over == 0) {
        over = 1;
        if (events) events->Event(OverLevelMessage(true, peak), channel, s);
      }
    } else if (over == 1) {
      over = 0;
      if (events) events->Event(OverLevelMessage(false, peak), channel, s);
    }
  };
  if (WatchesLeft(mode)) side(kLeftSide, record.PeakL);
  if (WatchesRight(mode)) side(kRightSide, record.PeakR);
}

}  // namespace varn
