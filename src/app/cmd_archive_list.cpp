// varn archive list [--channel N] [--from T] [--to T] [--json] [--utc]: the
// archive files with their start and end times, format and size, and the
// holes between them.

#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>

#include "app/archive_commands.h"
#include "archive/archive_catalog.h"
#include "settings/program_setup.h"
#include "util/text.h"

namespace varn {
namespace {

struct ListArgs {
  std::string channel;  // "": every channel
  std::string from;
  std::string to;
  bool json = false;
  bool utc = false;
};

std::string SizeText(int64_t bytes) {
  if (bytes >= 1000000000) return FormatFixed(static_cast<double>(bytes) / 1e9, 2) + " GB";
  if (bytes >= 1000000) return FormatFixed(static_cast<double>(bytes) / 1e6, 1) + " MB";
  if (bytes >= 1000) return FormatFixed(static_cast<double>(bytes) / 1e3, 1) + " kB";
  return std::to_string(bytes) + " B";
}

nlohmann::json FileJson(const ArchiveFileEntry& e, bool utc) {
  nlohmann::json j{{"path", e.path},
                   {"name", e.name},
                   {"start", TimeText(e.startMs, utc)},
                   {"end", TimeText(e.EndMs(), utc)},
                   {"start_unix", static_cast<double>(e.startMs) / 1000.0},
                   {"end_unix", static_cast<double>(e.EndMs()) / 1000.0},
                   {"seconds", e.rate > 0 ? static_cast<double>(e.frames) / e.rate : 0.0},
                   {"format", e.kind == ArchiveKind::Wav ? "wav" : "mp3"},
                   {"rate", e.rate},
                   {"channels", e.channels},
                   {"size", e.size}};
  if (e.kind == ArchiveKind::Wav)
    j["bits"] = e.bits;
  else
    j["kbps"] = e.kbps;
  if (e.repeatedHour) j["repeated_hour"] = true;
  if (!e.error.empty()) j["error"] = e.error;
  return j;
}

int RunArchiveList(const CommonOptions& options, const ListArgs& args) {
  ProgramServices services(options.appFolder);
  const ArchivePlace place = ReadArchivePlace();
  int channel = 0;
  if (!args.channel.empty()) {
    const auto n = ReadChannelOption(place, args.channel);
    if (!n) return 2;
    channel = *n;
  }
  const std::optional<TimeRange> range = ReadRangeOptions(args.from, args.to);
  if (!range) return 2;
  const int64_t from = range->from;
  const int64_t to = range->to;
  const ArchiveCatalog catalog = ScanArchive(
      place.dataFolder, channel != 0 ? std::optional<int>(channel) : std::nullopt,
      args.from.empty() && args.to.empty() ? std::nullopt
                                           : std::optional<ArchiveWindow>(ArchiveWindow{from, to}));
  nlohmann::json channels = nlohmann::json::array();
  for (const int ch : catalog.channels) {
    const auto files = FilesInRange(catalog, ch, from, to);
    const auto holes = HolesInRange(catalog, ch, from, to);
    int64_t bytes = 0;
    for (const auto& e : files) bytes += e.size;
    if (args.json) {
      nlohmann::json j{{"channel", ch}, {"name", place.ChannelName(ch)}, {"bytes", bytes}};
      j["files"] = nlohmann::json::array();
      for (const auto& e : files) j["files"].push_back(FileJson(e, args.utc));
      j["holes"] = nlohmann::json::array();
      for (const auto& h : holes)
        j["holes"].push_back({{"start", TimeText(h.startMs, args.utc)},
                              {"end", TimeText(h.endMs, args.utc)},
                              {"start_unix", static_cast<double>(h.startMs) / 1000.0},
                              {"end_unix", static_cast<double>(h.endMs) / 1000.0},
                              {"seconds", static_cast<double>(h.endMs - h.startMs) / 1000.0}});
      channels.push_back(std::move(j));
      continue;
    }
    std::cout << "ch" << ch << " " << place.ChannelName(ch) << ": " << files.size() << " files, "
              << SizeText(bytes) << "\n";
    // Files and holes in time order.
    size_t h = 0;
    for (const auto& e : files) {
      for (; h < holes.size() && holes[h].startMs < e.startMs; ++h)
        std::cout << "  " << TimeText(holes[h].startMs, args.utc) << "  "
                  << TimeText(holes[h].endMs, args.utc) << "  hole "
                  << DurationText(holes[h].endMs - holes[h].startMs) << "\n";
      std::cout << "  " << TimeText(e.startMs, args.utc) << "  " << TimeText(e.EndMs(), args.utc)
                << "  " << ArchiveFormatText(e) << "  " << SizeText(e.size) << "  " << e.path;
      if (!e.error.empty()) std::cout << "  (unreadable: " << e.error << ")";
      std::cout << "\n";
    }
    for (; h < holes.size(); ++h)
      std::cout << "  " << TimeText(holes[h].startMs, args.utc) << "  "
                << TimeText(holes[h].endMs, args.utc) << "  hole "
                << DurationText(holes[h].endMs - holes[h].startMs) << "\n";
  }
  if (args.json) {
    std::cout << nlohmann::json{{"data_folder", place.dataFolder}, {"channels", channels}}.dump(2)
              << "\n";
  } else if (catalog.channels.empty()) {
    std::cout << "no archive in " << place.dataFolder << "\n";
  }
  return 0;
}

const ArchiveCommandRegistration kList(10, [](CLI::App& group, const CommonOptions& options,
                                              int& exitCode) {
  auto* cmd = group.add_subcommand(
      "list", "The archive files with their start and end times, format and size, and the holes");
  auto args = std::make_shared<ListArgs>();
  cmd->add_option("--channel", args->channel, "Only this channel (1-based)");
  cmd->add_option("--from", args->from,
                  "Only files that end after this time (YYYY-MM-DD HH:MM:SS, local unless "
                  "+HH:MM or Z follows)");
  cmd->add_option("--to", args->to, "Only files that start before this time");
  cmd->add_flag("--json", args->json, "Write JSON");
  cmd->add_flag("--utc", args->utc, "Write times in UTC");
  cmd->callback([&options, args, &exitCode] { exitCode = RunArchiveList(options, *args); });
});

}  // namespace
}  // namespace varn
