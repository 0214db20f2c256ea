// varn archive verify [--channel N] [--from T] [--to T]: every archive file
// against the .sha256 written beside it when it closed (ArchiveChecksum).

#include <chrono>
#include <filesystem>
#include <iostream>
#include <limits>

#include "app/archive_commands.h"
#include "archive/archive_catalog.h"
#include "archive/file_checksum.h"
#include "settings/program_setup.h"

namespace varn {
namespace {

// A channel's newest file this recent may still be written by a running
// monitor: its sum comes when it closes.
constexpr auto kStillWriting = std::chrono::minutes(2);

struct VerifyArgs {
  std::string channel;
  std::string from;
  std::string to;
};

bool RecentlyWritten(const std::string& path) {
  std::error_code ec;
  const auto written = std::filesystem::last_write_time(path, ec);
  return !ec && std::filesystem::file_time_type::clock::now() - written < kStillWriting;
}

int RunVerify(const CommonOptions& options, const VerifyArgs& args) {
  ProgramServices services(options.appFolder);
  const ArchivePlace place = ReadArchivePlace();
  std::optional<int> channel;
  if (!args.channel.empty()) {
    channel = ReadChannelOption(place, args.channel);
    if (!channel) return 2;
  }
  const std::optional<TimeRange> range = ReadRangeOptions(args.from, args.to);
  if (!range) return 2;
  const int64_t from = range->from;
  const int64_t to = range->to;
  const ArchiveCatalog catalog = ScanArchive(place.dataFolder, channel);
  size_t checked = 0;
  size_t bad = 0;
  size_t writing = 0;
  for (const int ch : catalog.channels) {
    const std::vector<ArchiveFileEntry> files = FilesInRange(catalog, ch, from, to);
    for (size_t i = 0; i < files.size(); ++i) {
      const ArchiveFileEntry& e = files[i];
      const ChecksumCheck check = VerifyChecksumFile(e.path);
      if (check.state == ChecksumState::NoSum && i + 1 == files.size() && RecentlyWritten(e.path)) {
        ++writing;
        continue;
      }
      ++checked;
      if (check.state == ChecksumState::Agrees) continue;
      ++bad;
      const char* what = check.state == ChecksumState::Differs  ? "DIFFERS"
                         : check.state == ChecksumState::NoSum  ? "NO SUM"
                         : check.state == ChecksumState::BadSum ? "BAD SUM"
                                                                : "UNREADABLE";
      std::cout << e.path << ": " << what << " (" << check.detail << ")\n";
    }
  }
  std::cout << checked << " files checked, " << (checked - bad) << " agree with their sums";
  if (bad > 0) std::cout << ", " << bad << " do not";
  if (writing > 0) std::cout << "; " << writing << " still being written, not checked";
  std::cout << "\n";
  return bad > 0 ? 1 : 0;
}

const ArchiveCommandRegistration kVerify(40, [](CLI::App& group, const CommonOptions& options,
                                                int& exitCode) {
  auto args = std::make_shared<VerifyArgs>();
  auto* cmd = group.add_subcommand(
      "verify",
      "Check the archive files against their .sha256 sums (ArchiveChecksum); exit 1 naming "
      "each file that differs or has no sum");
  cmd->add_option("--channel", args->channel, "Only this channel (1-based)");
  cmd->add_option("--from", args->from,
                  "Only files that end after this time (YYYY-MM-DD HH:MM:SS, local unless "
                  "+HH:MM or Z follows)");
  cmd->add_option("--to", args->to, "Only files that start before this time");
  cmd->callback([&options, args, &exitCode] { exitCode = RunVerify(options, *args); });
});

}  // namespace
}  // namespace varn
