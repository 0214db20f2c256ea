#include "analysis/analysis_output.h"

#include "log/event_log.h"

namespace varn {

void EventLogEvents::Event(std::string_view message, int channel, int side) {
  log_.LogEvent(message, channel, side);
}

}  // namespace varn
