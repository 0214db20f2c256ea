// varn archive hold|release|holds: time ranges of a channel's archive kept
// as evidence, whatever retention or the free-space guard would delete.
// The running monitor reads the holds file again before each sweep.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>

#include "app/archive_commands.h"
#include "archive/archive_holds.h"
#include "archive/archive_sweep.h"
#include "settings/folders.h"
#include "settings/program_setup.h"
#include "util/text.h"

namespace varn {
namespace {

struct HoldArgs {
  std::string channel;
  std::string from;
  std::string to;
  std::string reason;
  std::string id;
};

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Two commands changing the holds at once take turns, so that neither
// writes over the other's hold: a lock on a file beside the holds file.
class HoldsLock {
 public:
  explicit HoldsLock(const std::string& holdsPath)
      : fd_(open((holdsPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0) {
      error_ = std::string(std::strerror(errno));
      return;
    }
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error_ = std::string(std::strerror(errno));
      break;
    }
  }
  ~HoldsLock() {
    if (fd_ >= 0) close(fd_);
  }
  HoldsLock(const HoldsLock&) = delete;
  HoldsLock& operator=(const HoldsLock&) = delete;
  // Empty when the lock is held; otherwise the system's reason.
  const std::string& Error() const { return error_; }

 private:
  int fd_;
  std::string error_;
};

bool Locked(const HoldsLock& lock, const std::string& path) {
  if (lock.Error().empty()) return true;
  std::cerr << "varn: cannot lock " << path << ".lock: " << lock.Error() << "\n";
  return false;
}

// The holds file as it stands; a broken one is named and not touched.
std::optional<HoldsFile> ReadHolds(const std::string& path) {
  HoldsFile file = ReadHoldsFile(path);
  if (file.ok) return file;
  std::cerr << "varn: the holds file is broken: " << file.error
            << "\n(the running monitor deletes no archive file while it is; mend or remove it)\n";
  return std::nullopt;
}

int RunHold(const CommonOptions& options, const HoldArgs& args) {
  ProgramServices services(options.appFolder);
  const ArchivePlace place = ReadArchivePlace();
  const auto channel = ReadChannelOption(place, args.channel);
  if (!channel) return 2;
  if (*channel > kSweepChannels) {
    std::cerr << "varn: --channel: channels 1 to " << kSweepChannels << " can be held\n";
    return 2;
  }
  const auto from = ReadTimeOption("--from", args.from);
  if (!from) return 2;
  const auto to = ReadTimeOption("--to", args.to);
  if (!to) return 2;
  if (*to <= *from) {
    std::cerr << "varn: --to must be later than --from\n";
    return 2;
  }
  if (TrimBlanks(args.reason).empty()) {
    std::cerr << "varn: --reason must say why the range is held\n";
    return 2;
  }
  // A hold may come before the first recording: the data folder is made.
  if (const std::string error = CreateFolderError(place.dataFolder); !error.empty()) {
    std::cerr << "varn: cannot make the data folder " << place.dataFolder << ": " << error << "\n";
    return 1;
  }
  const std::string path = HoldsFilePath(place.dataFolder);
  const HoldsLock lock(path);
  if (!Locked(lock, path)) return 1;
  std::optional<HoldsFile> file = ReadHolds(path);
  if (!file) return 1;
  ArchiveHold hold;
  hold.id = NextHoldId(file->holds);
  hold.channel = *channel - 1;
  // Whole seconds, widened so that a range given to the millisecond stays inside.
  hold.from = *from / 1000 - (*from % 1000 < 0 ? 1 : 0);
  hold.to = *to / 1000 + (*to % 1000 > 0 ? 1 : 0);
  hold.made = NowSeconds();
  hold.reason = TrimBlanks(args.reason);
  file->holds.push_back(hold);
  if (const std::string error = WriteHoldsFile(path, file->holds); !error.empty()) {
    std::cerr << "varn: " << error << "\n";
    return 1;
  }
  std::cout << hold.id << "\n";
  return 0;
}

int RunRelease(const CommonOptions& options, const std::string& idText) {
  const std::optional<double> id = ParseNumber(idText);
  if (!id || *id < 1 || *id != static_cast<uint32_t>(*id)) {
    std::cerr << "varn: \"" << idText << "\" is not a hold ID (varn archive holds lists them)\n";
    return 2;
  }
  ProgramServices services(options.appFolder);
  const std::string path = HoldsFilePath(ReadArchivePlace().dataFolder);
  const HoldsLock lock(path);
  if (!Locked(lock, path)) return 1;
  std::optional<HoldsFile> file = ReadHolds(path);
  if (!file) return 1;
  const auto n = std::erase_if(
      file->holds, [&](const ArchiveHold& h) { return h.id == static_cast<uint32_t>(*id); });
  if (n == 0) {
    std::cerr << "varn: no hold with ID " << idText << "\n";
    return 1;
  }
  if (const std::string error = WriteHoldsFile(path, file->holds); !error.empty()) {
    std::cerr << "varn: " << error << "\n";
    return 1;
  }
  return 0;
}

int RunHolds(const CommonOptions& options) {
  ProgramServices services(options.appFolder);
  const ArchivePlace place = ReadArchivePlace();
  std::optional<HoldsFile> file = ReadHolds(HoldsFilePath(place.dataFolder));
  if (!file) return 1;
  if (file->holds.empty()) std::cout << "no holds\n";
  for (const ArchiveHold& h : file->holds)
    std::cout << h.id << "  ch" << h.channel + 1 << "  " << TimeText(h.from * 1000, false) << "  "
              << TimeText(h.to * 1000, false) << "  made " << TimeText(h.made * 1000, false) << "  "
              << h.reason << "\n";
  return 0;
}

const ArchiveCommandRegistration kHold(30, [](CLI::App& group, const CommonOptions& options,
                                              int& exitCode) {
  auto args = std::make_shared<HoldArgs>();
  auto* hold = group.add_subcommand(
      "hold",
      "Keep a channel's archive files that overlap a time range from deletion; prints the "
      "hold's ID");
  hold->add_option("--channel", args->channel, "Channel (1-based)")->required();
  hold->add_option("--from", args->from,
                   "Start (YYYY-MM-DD HH:MM:SS, local unless +HH:MM or Z follows)")
      ->required();
  hold->add_option("--to", args->to, "End")->required();
  hold->add_option("--reason", args->reason, "Why the range is kept")->required();
  hold->callback([&options, args, &exitCode] { exitCode = RunHold(options, *args); });

  auto* release = group.add_subcommand("release", "Remove a hold");
  release->add_option("ID", args->id, "The hold's ID")->required();
  release->callback([&options, args, &exitCode] { exitCode = RunRelease(options, args->id); });

  auto* holds = group.add_subcommand("holds", "List the holds");
  holds->callback([&options, &exitCode] { exitCode = RunHolds(options); });
});

}  // namespace
}  // namespace varn
