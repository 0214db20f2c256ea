// varn analyze FILE: channel 1's analysis over a recording, one line per
// event, then the highest and lowest levels.

#include <iostream>
#include <optional>

#include "analysis/file_analysis.h"
#include "analysis/monitor_settings.h"
#include "app/commands.h"
#include "archive/file_access.h"
#include "archive/pcm_file.h"
#include "settings/program_setup.h"
#include "settings/setting_keys.h"

namespace varn {
namespace {

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

int RunAnalyze(const CommonOptions& options, const std::string& path, std::optional<int> set) {
  ProgramServices services(options.appFolder);
  std::string error;
  ClearFileError();
  const std::unique_ptr<PcmFileReader> source = OpenPcmFile(path, &error);
  if (!source || (source->Channels() != 1 && source->Channels() != 2)) {
    if (source)
      error = "holds " + std::to_string(source->Channels()) +
              " channels; only mono or stereo can be analysed";
    // The reader's own words, with the system's reason when a file call failed.
    std::string reason = source ? "" : LastFileError();
    if (const size_t colon = reason.rfind(": "); colon != std::string::npos)
      reason = " (" + reason.substr(colon + 2) + ")";
    std::cerr << "varn: " << path << " " << error << reason << "\n";
    return 1;
  }
  const FileAnalysisSetup setup = ChannelOneSetup(set);
  const std::optional<DateTime> start = ArchiveStartTime(path);
  const FileAnalysisResult result = AnalyseRecording(
      *source, setup, [&](const FileEvent& e) { std::cout << EventLine(e, start) << "\n"; });
  if (!result.ok) {
    std::cout.flush();
    std::cerr << "varn: " << FileFailure(path + " " + result.error) << "\n";
    return 1;
  }
  std::cout << LevelsLine(result.levelMax, result.levelMin) << "\n";
  return 0;
}

const CommandRegistration kAnalyze(40, [](CLI::App& app, const CommonOptions& options,
                                          int& exitCode) {
  auto* cmd = app.add_subcommand("analyze",
                                 "Run channel 1's analysis over a WAV or MP3 recording and print "
                                 "every event with its time in the file");
  auto path = std::make_shared<std::string>();
  auto set = std::make_shared<std::optional<int>>();
  cmd->add_option("FILE", *path, "Recording to analyse")->required();
  cmd->add_option_function<int>(
         "--set", [set](const int& v) { *set = v; }, "Setting set 1..8 (default: the selected one)")
      ->check(CLI::Range(1, 8));
  cmd->callback([&options, path, set, &exitCode] { exitCode = RunAnalyze(options, *path, *set); });
});

}  // namespace
}  // namespace varn
