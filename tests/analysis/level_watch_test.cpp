#include "analysis/level_watch.h"

#include <gtest/gtest.h>

#include "analysis_test_support.h"

namespace varn {
namespace {

using test::RecordedEvent;

TEST(LevelFigures, StrictNewExtremesSetTheirCellsAndRedrawOnce) {
  LevelWatchState s;
  test::RecordingView view;
  UpdateLevelFigures(s, 2, {-20.0, -30.0, -10.0, -12.0}, StereoMode::Stereo, &view);
  EXPECT_EQ(view.cells[0], "-20.0db");
  EXPECT_EQ(view.cells[1], "-30.0db");
  EXPECT_EQ(view.cells[2], "-20.0db");  // the minimum starts at 0
  EXPECT_EQ(view.cells[3], "-30.0db");
  EXPECT_EQ(view.log.back(), "figures 2");
  EXPECT_EQ(std::count(view.log.begin(), view.log.end(), "figures 2"), 1);
  EXPECT_EQ(s.LevelMax.PeakL, -10.0);
  EXPECT_EQ(s.LevelMin.PeakR, -12.0);

  view.log.clear();
  UpdateLevelFigures(s, 2, {-20.0, -30.0, -10.0, -12.0}, StereoMode::Stereo, &view);
  EXPECT_TRUE(view.log.empty());  // equal is not a new extreme

  UpdateLevelFigures(s, 2, {-25.0, -30.0, -5.0, -12.0}, StereoMode::Stereo, &view);
  EXPECT_EQ(view.cells[2], "-25.0db");
  EXPECT_EQ(s.LevelMax.PeakL, -5.0);  // peaks are kept without a cell
  EXPECT_EQ(view.log, (std::vector<std::string>{"cell 2", "figures 2"}));
}

TEST(LevelFigures, OnlyWatchedSidesAreKept) {
  LevelWatchState s;
  test::RecordingView view;
  UpdateLevelFigures(s, 0, {-20.0, -30.0, -10.0, -12.0}, StereoMode::MonoRight, &view);
  EXPECT_EQ(view.cells[0], "");
  EXPECT_EQ(view.cells[1], "-30.0db");
  EXPECT_EQ(s.LevelMax.RmsL, -99.0);
  UpdateLevelFigures(s, 0, {-20.0, -40.0, -10.0, -12.0}, StereoMode::MonoMix, &view);
  EXPECT_EQ(view.cells[0], "-20.0db");
  EXPECT_EQ(s.LevelMin.RmsR, -30.0);
}

TEST(OverLevel, LogsOnceWhenThePeakRisesAboveAndOnceWhenItIsBackAtOrBelow) {
  LevelWatchState s;
  test::RecordingEvents ev;
  const float gate = -6.0f;
  auto feed = [&](double peakL, double peakR, StereoMode m = StereoMode::Stereo) {
    WatchOverLevel(s, 1, {-30.0, -30.0, peakL, peakR}, m, gate, &ev);
  };
  feed(-6.5, -50.0);
  EXPECT_TRUE(ev.events.empty());
  feed(-3.04, -50.0);
  feed(-1.0, -50.0);
  feed(-6.0, -50.0);  // exactly at the gate is not over
  feed(-6.0, -50.0);
  EXPECT_EQ(ev.events, (std::vector<RecordedEvent>{{"レベルUP -3.0db(Peak)", 1, 0},
                                                   {"レベルDOWN -6.0db(Peak)", 1, 0}}));
  feed(-70.0, -2.0);
  EXPECT_EQ(ev.events.back(), (RecordedEvent{"レベルUP -2.0db(Peak)", 1, 1}));
}

TEST(OverLevel, UnwatchedSidesNeverReport) {
  LevelWatchState s;
  test::RecordingEvents ev;
  WatchOverLevel(s, 0, {0, 0, -1.0, -1.0}, StereoMode::MonoMix, -6.0f, &ev);
  WatchOverLevel(s, 0, {0, 0, -1.0, -1.0}, StereoMode::MonoLeft, -6.0f, &ev);
  ASSERT_EQ(ev.events.size(), 1u);
  EXPECT_EQ(ev.events[0].side, 0);
  LevelWatchState r;
  WatchOverLevel(r, 0, {0, 0, -1.0, -1.0}, StereoMode::MonoRight, -6.0f, &ev);
  ASSERT_EQ(ev.events.size(), 2u);
  EXPECT_EQ(ev.events[1].side, 1);
  EXPECT_EQ(r.OverLevelState[0], 0);
}

}  // namespace
}  // namespace varn
