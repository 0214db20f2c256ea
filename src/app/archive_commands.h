#pragma once
// The "archive" command group (list, and what keeps the archive) and what
// its commands and "varn extract" share: where the archive is, the channels'
// names, and times read from the command line.

#include <cstdint>
#include <optional>
#include <string>

#include "app/commands.h"

namespace varn {

// Adds one subcommand to the "archive" group, as CommandRegistration does
// for the top level.
using ArchiveCommandSetup =
    std::function<void(CLI::App& group, const CommonOptions& options, int& exitCode)>;
struct ArchiveCommandRegistration {
  ArchiveCommandRegistration(int order, ArchiveCommandSetup setup);
};
void AddArchiveCommands(CLI::App& group, const CommonOptions& options, int& exitCode);

// The archive as the settings place it. Read while a ProgramServices is
// alive (it chooses the settings store).
struct ArchivePlace {
  std::string dataFolder;  // with a trailing "/"
  int channelCount = 1;    // NumRec
  std::string ChannelName(int channel) const;
  // A channel the settings have, or one whose folder is in the data folder.
  bool KnownChannel(int channel) const;
  std::string UnknownChannelText(int channel) const;
};
ArchivePlace ReadArchivePlace();

// Reads --channel's text: a known channel's number, else the reason on
// standard error and nullopt.
std::optional<int> ReadChannelOption(const ArchivePlace& place, const std::string& text);

// Reads a time given to `option`; prints the reason on standard error and
// returns nullopt when it cannot be read. A time in the hour repeated when
// summer time ends is read as its first pass, with a warning.
std::optional<int64_t> ReadTimeOption(const std::string& option, const std::string& text);

// Reads optional --from and --to (an empty text: open at that end) as
// {from, to} in epoch milliseconds; prints the reason and returns nullopt
// when one cannot be read or --to is not later than --from.
struct TimeRange {
  int64_t from = 0;
  int64_t to = 0;
};
std::optional<TimeRange> ReadRangeOptions(const std::string& fromText, const std::string& toText);

// A local or UTC time text, as --utc asks.
std::string TimeText(int64_t epochMs, bool utc);
// "1h 02m 03s", "4.5s".
std::string DurationText(int64_t ms);

}  // namespace varn
