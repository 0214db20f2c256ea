// varn extract --channel N --from T (--to T | --duration S) [--copy]
// [--no-fill] [--bitrate K] OUT: the audio of a time range, cut and joined
// across the archive files, into a WAV or MP3 file, standard output ("-",
// WAV) or a folder (the file then named by its start time, as the
// archive's are).

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "app/archive_commands.h"
#include "app/console_progress.h"
#include "archive/archive_catalog.h"
#include "archive/range_extract.h"
#include "settings/program_setup.h"
#include "util/text.h"

namespace varn {
namespace {

struct ExtractArgs {
  std::string channel;
  std::string from;
  std::string to;
  std::string duration;
  std::string bitrate;
  bool copy = false;
  bool noFill = false;
  std::string out;
};

int BadArgument(const std::string& text) {
  std::cerr << "varn: " << text << "\n";
  return 2;
}

// The archive's name for a file that starts at `ms`: YYYYMMDDhhmmss local.
std::string StartStem(int64_t ms) {
  const time_t t = static_cast<time_t>(ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000));
  std::tm tm{};
  localtime_r(&t, &tm);
  return PadNumber(tm.tm_year + 1900, 4) + PadNumber(tm.tm_mon + 1, 2) + PadNumber(tm.tm_mday, 2) +
         PadNumber(tm.tm_hour, 2) + PadNumber(tm.tm_min, 2) + PadNumber(tm.tm_sec, 2);
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

int RunExtractCommand(const CommonOptions& options, const ExtractArgs& args) {
  ProgramServices services(options.appFolder);
  const ArchivePlace place = ReadArchivePlace();
  if (args.channel.empty()) return BadArgument("extract needs --channel N");
  if (args.from.empty()) return BadArgument("extract needs --from TIME");
  if (args.to.empty() == args.duration.empty())
    return BadArgument("extract needs either --to TIME or --duration SECONDS");
  if (args.out.empty())
    return BadArgument("extract needs OUT: a .wav or .mp3 file, a folder, or -");
  const auto channel = ReadChannelOption(place, args.channel);
  if (!channel) return 2;
  const auto from = ReadTimeOption("--from", args.from);
  if (!from) return 2;
  int64_t to = 0;
  if (!args.to.empty()) {
    const auto t = ReadTimeOption("--to", args.to);
    if (!t) return 2;
    to = *t;
  } else {
    const auto seconds = ParseNumber(args.duration);
    if (!seconds || *seconds <= 0 || *seconds > 366.0 * 86400)
      return BadArgument("--duration: \"" + args.duration +
                         "\" is not a number of seconds above 0");
    to = *from + static_cast<int64_t>(*seconds * 1000.0 + 0.5);
  }
  if (to <= *from)
    return BadArgument("the range ends before it starts: --to " + TimeText(to, false) +
                       " is not later than --from " + TimeText(*from, false));
  ExtractRequest request;
  request.channel = *channel;
  request.fromMs = *from;
  request.toMs = to;
  request.fill = !args.noFill;
  if (!args.bitrate.empty()) {
    const auto kbps = ParseNumber(args.bitrate);
    if (!kbps || *kbps != static_cast<int>(*kbps) || *kbps < 8 || *kbps > 320)
      return BadArgument("--bitrate: \"" + args.bitrate + "\" is not a bit rate in kbit/s");
    request.kbps = static_cast<int>(*kbps);
  }

  const bool toStdout = args.out == "-";
  std::error_code ec;
  const bool toFolder =
      !toStdout && (std::filesystem::is_directory(args.out, ec) || args.out.back() == '/');
  if (toStdout || toFolder) {
    request.format = args.copy ? ExtractFormat::Mp3Copy : ExtractFormat::Wav;
    if (toStdout && args.copy)
      return BadArgument("- writes WAV; --copy needs an .mp3 file or a folder");
  } else if (EndsWithIgnoreCase(args.out, ".wav")) {
    if (args.copy) return BadArgument("--copy writes MP3 frames: give an .mp3 file");
    request.format = ExtractFormat::Wav;
  } else if (EndsWithIgnoreCase(args.out, ".mp3")) {
    request.format = args.copy ? ExtractFormat::Mp3Copy : ExtractFormat::Mp3;
  } else {
    return BadArgument(
        "OUT must end in .wav or .mp3, be a folder, or be - (WAV on standard output)");
  }
  if (!args.bitrate.empty() && request.format != ExtractFormat::Mp3)
    return BadArgument(
        "--bitrate sets the bit rate of an encoded MP3 file (OUT.mp3 without --copy)");

  const ArchiveCatalog catalog =
      ScanArchive(place.dataFolder, *channel, ArchiveWindow{request.fromMs, request.toMs});
  const ExtractPlan plan = PlanExtract(catalog, request);
  if (!plan.error.empty()) {
    std::cerr << "varn: " << plan.error << "\n";
    return 1;
  }

  std::string target = args.out;
  if (toFolder) {
    const std::string folder = args.out.back() == '/' ? args.out : args.out + "/";
    const std::string ext = request.format == ExtractFormat::Wav ? ".wav" : ".mp3";
    const std::string stem = folder + StartStem(plan.startMs);
    target = stem + ext;
    for (int n = 1; std::filesystem::exists(target, ec); ++n)
      target = stem + "_" + std::to_string(n) + ext;
  }
  // The file is written under a temporary name and takes its own name only
  // when complete: a canceled or failed extract leaves nothing behind, and
  // an existing file of that name stays until then.
  const std::string partial = target + ".part";
  int fd = STDOUT_FILENO;
  if (!toStdout) {
    fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      std::cerr << "varn: cannot create " << partial << ": " << std::strerror(errno) << "\n";
      return 1;
    }
  }
  ProgressBar bar;
  InterruptGuard guard;
  ExtractEvents events;
  events.write = [fd](const uint8_t* bytes, size_t count) { return WriteAll(fd, bytes, count); };
  events.hole = [&bar](const ArchiveHole& h) {
    if (bar.Shown()) std::cerr << "\n";
    std::cerr << "varn: hole from " << TimeText(h.startMs, false) << " to "
              << TimeText(h.endMs, false) << " (" << DurationText(h.endMs - h.startMs)
              << ") filled with silence\n";
  };
  events.progress = [&bar](double fraction) {
    bar.Show(static_cast<float>(fraction));
    return !InterruptGuard::Interrupted();
  };
  const ExtractResult result = RunExtract(plan, events);
  bar.Finish(result.ok);
  std::string writeError;
  if (!toStdout) {
    if (result.ok && ::fsync(fd) != 0) writeError = std::strerror(errno);
    if (::close(fd) != 0 && writeError.empty()) writeError = std::strerror(errno);
    if (result.ok && writeError.empty() && std::rename(partial.c_str(), target.c_str()) != 0)
      writeError = std::strerror(errno);
    if (!result.ok || !writeError.empty()) std::remove(partial.c_str());
  }
  if (result.canceled) {
    std::cerr << "varn: extract canceled" << (toStdout ? "" : "; nothing was kept") << "\n";
    return kExitCanceled;
  }
  if (!result.ok || !writeError.empty()) {
    std::cerr << "varn: extract failed: "
              << (result.ok ? "cannot write " + target + ": " + writeError : result.error) << "\n";
    return 1;
  }
  const int64_t endMs = plan.startMs + plan.frames * 1000 / plan.rate;
  std::cerr << "varn: " << (toStdout ? std::string("standard output") : target) << ": ch"
            << *channel << " " << TimeText(plan.startMs, false) << " to " << TimeText(endMs, false)
            << " (" << DurationText(endMs - plan.startMs) << ", " << plan.files.size()
            << (plan.files.size() == 1 ? " file" : " files")
            << (plan.holes.empty() ? ""
                                   : ", " + std::to_string(plan.holes.size()) + " holes filled")
            << ")\n";
  return 0;
}

const CommandRegistration kExtract(61, [](CLI::App& app, const CommonOptions& options,
                                          int& exitCode) {
  auto* cmd = app.add_subcommand(
      "extract", "Cut and join a time range of one channel's archive into a WAV or MP3 file");
  auto args = std::make_shared<ExtractArgs>();
  cmd->add_option("--channel", args->channel, "Channel (1-based)");
  cmd->add_option("--from", args->from,
                  "Start (YYYY-MM-DD HH:MM:SS, local unless +HH:MM or Z follows)");
  cmd->add_option("--to", args->to, "End (not included)");
  cmd->add_option("--duration", args->duration, "Length in seconds, instead of --to");
  cmd->add_flag("--copy", args->copy,
                "Copy whole MP3 frames without decoding (exact to the frame; MP3 sources of one "
                "format)");
  cmd->add_flag("--no-fill", args->noFill,
                "Refuse (exit 1) when the archive has a hole in the range, instead of filling "
                "it with silence");
  cmd->add_option("--bitrate", args->bitrate,
                  "Bit rate of an encoded MP3 in kbit/s (default: the sources', or 128)");
  cmd->add_option("OUT", args->out,
                  "A .wav or .mp3 file (replaced), a folder (the file is named by its start "
                  "time), or - for WAV on standard output");
  cmd->callback([&options, args, &exitCode] { exitCode = RunExtractCommand(options, *args); });
});

}  // namespace
}  // namespace varn
