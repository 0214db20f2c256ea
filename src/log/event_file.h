#pragma once
// Reading a day's event file back: each line split into the log window's
// five columns (local time, UTC time, channel, side, message) and its kind,
// and the days whose files exist in a log folder.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varn {

struct EventFileLine {
  std::string localTime;  // "2026/12/07 22:01:41"
  std::string utcTime;    // "" for a line without one (the start banner)
  int channel = -1;       // 0-based; -1 none
  int side = -1;          // 0 left, 1 right, -1 none
  std::string message;
  std::string kind;  // log/event_kinds.h
};

// One line as written (with or without its line end); empty for a line
// that does not begin with a local time.
std::optional<EventFileLine> ParseEventFileLine(std::string_view line);

// Every line of `path` that parses, in file order; empty when it cannot be
// read. At most `maxBytes` of the file's end are read.
std::vector<EventFileLine> ReadEventFile(const std::string& path, size_t maxBytes = 16 << 20);

// "YYYYMMDD" of every event file (varnYYYYMMDD + extension) in `folder`,
// oldest first.
std::vector<std::string> EventFileDays(const std::string& folder, const std::string& extension);

// A "YYYYMMDD" or "YYYY-MM-DD" day as "YYYYMMDD"; empty when it is no date.
std::string EventDay(std::string_view text);

}  // namespace varn
