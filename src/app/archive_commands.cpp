#include "app/archive_commands.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>
#include <vector>

#include "archive/archive_time.h"
#include "settings/folders.h"
#include "settings/setting_keys.h"
#include "util/text.h"

namespace varn {

namespace {
struct ArchiveEntry {
  int order;
  ArchiveCommandSetup setup;
};
std::vector<ArchiveEntry>& ArchiveRegistry() {
  static std::vector<ArchiveEntry> entries;
  return entries;
}
// Channels the program can have at most.
constexpr int kMaxChannels = 8;
}  // namespace

ArchiveCommandRegistration::ArchiveCommandRegistration(int order, ArchiveCommandSetup setup) {
  ArchiveRegistry().push_back({order, std::move(setup)});
}

void AddArchiveCommands(CLI::App& group, const CommonOptions& options, int& exitCode) {
  auto& entries = ArchiveRegistry();
  std::stable_sort(entries.begin(), entries.end(),
                   [](const ArchiveEntry& a, const ArchiveEntry& b) { return a.order < b.order; });
  for (const auto& e : entries) e.setup(group, options, exitCode);
}

ArchivePlace ReadArchivePlace() {
  ArchivePlace place;
  place.dataFolder = NormaliseFolder(ReadKeyText("Soundpath"), false);
  if (place.dataFolder.empty()) place.dataFolder = SettingDefault("Soundpath");
  place.channelCount = std::clamp(ReadKeyInt("NumRec"), 1, kMaxChannels);
  return place;
}

std::string ArchivePlace::ChannelName(int channel) const {
  if (channel < 1 || channel > kMaxChannels) return "";
  return ReadKeyText("ChName_" + std::to_string(channel));
}

bool ArchivePlace::KnownChannel(int channel) const {
  if (channel >= 1 && channel <= channelCount) return true;
  std::error_code ec;
  return channel >= 1 &&
         std::filesystem::is_directory(dataFolder + "ch" + std::to_string(channel), ec);
}

std::string ArchivePlace::UnknownChannelText(int channel) const {
  return "no channel " + std::to_string(channel) + ": the settings have channels 1 to " +
         std::to_string(channelCount) + " and " + dataFolder + " has no folder ch" +
         std::to_string(channel);
}

std::optional<int> ReadChannelOption(const ArchivePlace& place, const std::string& text) {
  const auto n = ParseNumber(text);
  if (!n || *n != static_cast<int>(*n) || *n < 1 || *n > 99) {
    std::cerr << "varn: --channel: \"" << text << "\" is not a channel number (1, 2, ...)\n";
    return std::nullopt;
  }
  const int channel = static_cast<int>(*n);
  if (!place.KnownChannel(channel)) {
    std::cerr << "varn: " << place.UnknownChannelText(channel) << "\n";
    return std::nullopt;
  }
  return channel;
}

std::optional<int64_t> ReadTimeOption(const std::string& option, const std::string& text) {
  const ArchiveTimeRead r = ReadArchiveTime(text);
  if (!r.error.empty()) {
    std::cerr << "varn: " << option << ": " << r.error << "\n";
    return std::nullopt;
  }
  if (r.repeatedHour) {
    const int first = LocalUtcOffset(r.epochMs);
    const int second = LocalUtcOffset(r.epochMs + 3600000);
    auto offset = [](int s) {
      const int a = s < 0 ? -s : s;
      return std::string(s < 0 ? "-" : "+") + PadNumber(a / 3600, 2) + ":" +
             PadNumber(a / 60 % 60, 2);
    };
    std::cerr << "varn: warning: " << option << " " << TrimBlanks(text)
              << " comes twice (summer time ended); the first pass is meant (" << offset(first)
              << "); write " << offset(second) << " after it for the second\n";
  }
  return r.epochMs;
}

std::optional<TimeRange> ReadRangeOptions(const std::string& fromText, const std::string& toText) {
  TimeRange range{std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
  if (!fromText.empty()) {
    const auto t = ReadTimeOption("--from", fromText);
    if (!t) return std::nullopt;
    range.from = *t;
  }
  if (!toText.empty()) {
    const auto t = ReadTimeOption("--to", toText);
    if (!t) return std::nullopt;
    range.to = *t;
  }
  if (range.from >= range.to) {
    std::cerr << "varn: --to must be later than --from\n";
    return std::nullopt;
  }
  return range;
}

std::string TimeText(int64_t epochMs, bool utc) {
  return utc ? WriteUtcTime(epochMs) : WriteLocalTime(epochMs);
}

std::string DurationText(int64_t ms) {
  if (ms < 60000)
    return FormatFixed(static_cast<double>(ms) / 1000.0, ms % 1000 == 0 ? 0 : 1) + "s";
  const int64_t s = ms / 1000;
  std::string text;
  if (s >= 3600)
    text = std::to_string(s / 3600) + "h " + PadNumber(s / 60 % 60, 2) + "m ";
  else
    text = std::to_string(s / 60) + "m ";
  return text + PadNumber(s % 60, 2) + "s";
}

}  // namespace varn
