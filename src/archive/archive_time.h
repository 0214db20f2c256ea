#pragma once
// Times as the archive commands read and write them. The archive's file
// names are local wall-clock times, so a time without an offset is local
// too; an explicit offset ("+09:00", "Z") names one instant, and is the only
// way to tell the two passes of the hour repeated when summer time ends.
// Instants are milliseconds since 1970-01-01 00:00 UTC.

#include <cstdint>
#include <string>
#include <string_view>

#include "util/clock.h"

namespace varn {

// The instants a local wall-clock time stands for in the system's time zone:
// none in the hour skipped when summer time starts, two in the hour repeated
// when it ends (earlier first), else one.
struct LocalInstants {
  int count = 0;
  int64_t first = 0;
  int64_t second = 0;
};
LocalInstants ResolveLocalTime(const DateTime& local);

struct ArchiveTimeRead {
  int64_t epochMs = 0;
  // A local time in the repeated hour: the first pass was taken, and the
  // caller should say so.
  bool repeatedHour = false;
  std::string error;  // "" when the text was read
};

// Reads "YYYY-MM-DD HH:MM[:SS]" (or a "T" between date and time, or a date
// alone for its midnight), optionally followed by "Z", "+HH:MM", "+HHMM" or
// "+HH" (either sign). Blanks around the text are allowed.
ArchiveTimeRead ReadArchiveTime(std::string_view text);

// "YYYY-MM-DD HH:MM:SS" in local time. An instant inside the repeated hour
// gets its offset after it ("2026-10-25 02:30:00+01:00"), so the text still
// names one instant and reads back as the same.
std::string WriteLocalTime(int64_t epochMs);
// "YYYY-MM-DD HH:MM:SSZ".
std::string WriteUtcTime(int64_t epochMs);
// The local time's offset from UTC in seconds at that instant.
int LocalUtcOffset(int64_t epochMs);

}  // namespace varn
