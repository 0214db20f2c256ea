#pragma once
// Where a channel's archive file goes: the data folder, "ch" and the 1-based
// channel number, and a file named by its start time (YYYYMMDDhhmmss) with
// the archive's extension.

#include <cstdint>
#include <string>
#include <string_view>

#include "util/clock.h"

namespace varn {

// Creates the channel folder when it is missing. A name already taken on
// disk (a restart within the same second, the repeated hour when daylight
// saving time ends) gets "_1", "_2", ... before the extension, so a new file
// never replaces a recording.
std::string MakeRecordPath(int32_t ch, std::string_view dataFolder, std::string_view extension,
                           const Clock& clock);
// The same for a file that starts at `at` (a reading taken earlier: the
// archive worker names a file when it gets to it, by the time it began).
std::string MakeRecordPath(int32_t ch, std::string_view dataFolder, std::string_view extension,
                           const ClockReading& at);

}  // namespace varn
