#include "ui/main_window/line_conditions.h"

namespace varn {

bool LineDiskShort(const Engine& /*engine*/, int /*ch*/) { return false; }

LineConditions ConditionsOf(const Engine& engine, int ch) {
  const ChannelRecord& c = engine.Channel(ch);
  LineConditions out;
  const bool running = engine.Capturing(ch);
  if (running) {
    const LevelWatchState& levels = c.analysis.levels;
    out.overLevel = levels.OverLevelState[0] != 0 || levels.OverLevelState[1] != 0;
    out.lowLevel =
        c.expectAudio && (c.analysis.lowLevel.State(0) != 0 || c.analysis.lowLevel.State(1) != 0);
    out.stalled = c.input.Stalled();
    out.onDefaultDevice = c.onDefaultDevice;
  }
  out.deviceFailed = !running && c.awaitingDevice;
  out.writeFailing = engine.ArchiveWriteFailing(ch) || LineDiskShort(engine, ch);
  return out;
}

}  // namespace varn
