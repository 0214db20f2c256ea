#include "analysis/analysis_output.h"

#include "log/event_log.h"

namespace varn {

void EventLogEvents::Event(std::string_view message, int channel, int side) {
  OnProgramThread();  // the live analysis runs inside the program's tick
  log_.LogEvent(message, channel, side);
}

}  // namespace varn
