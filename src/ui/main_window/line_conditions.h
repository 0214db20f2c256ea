#pragma once
// A line's conditions for its panel, read from the engine's own state: the
// over-level and low-level detectors' states (the same start and end the
// event lines and hooks report), the input watch, the device retry, the
// archive writer and the device the run opened. The program thread reads
// them, between ticks.

#include "engine/engine.h"
#include "ui/main_window/panel_alarm.h"

namespace varn {

// Whether the disk that holds line ch's archive is short of space. Always
// false here: the disk-space watch will answer it.
bool LineDiskShort(const Engine& engine, int ch);

LineConditions ConditionsOf(const Engine& engine, int ch);

}  // namespace varn
