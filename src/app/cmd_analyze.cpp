// varn analyze FILE...: channel 1's analysis over recordings, one line per
// event, then the highest and lowest levels (and the loudness), or one JSON
// object per file. Files are analysed in parallel and reported in the order
// given.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "analysis/file_analysis.h"
#include "analysis/monitor_settings.h"
#include "app/analyze_report.h"
#include "app/commands.h"
#include "settings/program_setup.h"
#include "settings/setting_keys.h"

namespace varn {
namespace {

struct AnalyzeOptions {
  std::vector<std::string> files;
  std::optional<int> set;
  bool loudness = false;
  bool json = false;
  int jobs = 0;  // 0: one per core
};

// Channel 1's settings as its live analysis would use them.
FileAnalysisSetup ChannelOneSetup(std::optional<int> set) {
  FileAnalysisSetup setup;
  const int p = set ? *set : ReadKeyInt("SelectedSetting");
  setup.settings = LoadMonitorSettings(p);
  setup.recLevelDb = ReadKeyReal(ChannelKey("RecLevelDB_", 0));
  setup.stereoMode = StereoModeFromInt(ReadKeyInt(ChannelKey("StereoMode_", 0)));
  setup.bitRate = ReadKeyInt(ChannelKey("BitRate_", 0));
  setup.bufferSec = ReadKeyInt(ChannelKey("BufferSec_", 0));
  return setup;
}

// Files done out of all, on standard error when it is a terminal. The line
// is taken away before anything else is printed, and drawn again after.
class FilesProgress {
 public:
  explicit FilesProgress(size_t total) : total_(total), shown_(isatty(STDERR_FILENO) == 1) {}
  void Show(size_t done) {
    if (!shown_) return;
    constexpr int kBarWidth = 40;
    const int filled = static_cast<int>(done * kBarWidth / (total_ ? total_ : 1));
    std::fprintf(stderr, "\r%3d%% [%s%s] %zu/%zu", static_cast<int>(done * 100 / total_),
                 std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kBarWidth - filled), ' ').c_str(), done, total_);
    std::fflush(stderr);
  }
  void Clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%60s\r", "");
    std::fflush(stderr);
  }

 private:
  size_t total_;
  bool shown_;
};

int RunAnalyze(const CommonOptions& common, const AnalyzeOptions& options) {
  ProgramServices services(common.appFolder);
  // Read once, here: the jobs share it read-only and touch no settings.
  FileAnalysisSetup setup = ChannelOneSetup(options.set);
  setup.loudness = options.loudness;
  const ReportFormat format = options.json ? ReportFormat::Json : ReportFormat::Text;
  const bool headings = options.files.size() > 1;

  const size_t count = options.files.size();
  std::vector<FileReport> reports(count);
  std::vector<char> ready(count, 0);
  std::mutex mutex;
  std::condition_variable changed;
  size_t finished = 0;
  std::atomic<size_t> next{0};

  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t jobs = std::min(count, static_cast<size_t>(options.jobs > 0 ? options.jobs : cores));
  std::vector<std::thread> workers;
  for (size_t w = 0; w < jobs; ++w) {
    workers.emplace_back([&] {
      for (size_t i; (i = next.fetch_add(1)) < count;) {
        FileReport report = AnalyseFileReport(options.files[i], setup, format, headings);
        std::lock_guard lock(mutex);
        reports[i] = std::move(report);
        ready[i] = 1;
        ++finished;
        changed.notify_one();
      }
    });
  }

  // Each file's report as soon as those before it are out.
  FilesProgress progress(count);
  progress.Show(0);
  int exitCode = 0;
  for (size_t i = 0; i < count; ++i) {
    FileReport report;
    {
      std::unique_lock lock(mutex);
      size_t shown = finished;
      while (!ready[i]) {
        changed.wait(lock);
        if (finished != shown) {
          shown = finished;
          progress.Show(shown);
        }
      }
      report = std::move(reports[i]);
    }
    progress.Clear();
    std::cout << report.out << std::flush;
    std::cerr << report.err << std::flush;
    if (report.failed) exitCode = 1;
    std::lock_guard lock(mutex);
    progress.Show(finished);
  }
  for (std::thread& t : workers) t.join();
  progress.Clear();
  return exitCode;
}

const CommandRegistration kAnalyze(40, [](CLI::App& app, const CommonOptions& common,
                                          int& exitCode) {
  auto* cmd = app.add_subcommand("analyze",
                                 "Run channel 1's analysis over WAV or MP3 recordings and print "
                                 "every event with its time in the file");
  auto options = std::make_shared<AnalyzeOptions>();
  cmd->add_option("FILE", options->files, "Recordings to analyse, reported in this order")
      ->required();
  cmd->add_option_function<int>(
         "--set", [options](const int& v) { options->set = v; },
         "Setting set 1..8 (default: the selected one)")
      ->check(CLI::Range(1, 8));
  cmd->add_flag("--loudness", options->loudness,
                "Also measure EBU R128 loudness: integrated, range, maximum momentary and "
                "short-term, true peak");
  cmd->add_flag("--json", options->json, "One JSON object per file per line");
  cmd->add_option("--jobs", options->jobs, "Files analysed at once (default: one per core)")
      ->check(CLI::Range(1, 1024));
  cmd->callback([&common, options, &exitCode] { exitCode = RunAnalyze(common, *options); });
});

}  // namespace
}  // namespace varn
