#include "settings/program_setup.h"

#include "settings/folders.h"
#include "settings/setting_keys.h"
#include "util/error_catch.h"

namespace varn {

namespace {
std::string ChosenAppFolder(const std::string& appFolder) {
  SetAppFolder(appFolder);
  return AppFolder();
}
}  // namespace

ProgramServices::ProgramServices(const std::string& appFolder)
    : store_(ChosenAppFolder(appFolder), DefaultUserConfigRoot()), log_(clock_) {
  store_.ChooseAtStartup();
  SetActiveStore(&store_);
  SetActiveLog(&log_);
  // Failures the error convention ends quietly still leave a line.
  SetTrapReporter([](std::string_view routine, std::string_view error) {
    WriteLogLine("Trapped error in " + std::string(routine) + ": " + std::string(error), true);
  });
}

ProgramServices::~ProgramServices() {
  SetTrapReporter(nullptr);
  if (ActiveLog() == &log_) SetActiveLog(nullptr);
  if (ActiveStore() == &store_) SetActiveStore(nullptr);
}

bool ProgramServices::ApplyStartupSettings() {
  SettingsBatch batch(&store_);
  int errorCatch = ReadKeyInt("ErrorCatch");
  if (errorCatch == 0 && RegularFileExists(AppFolder() + "ec.txt")) errorCatch = 1;
  SetErrorCatch(errorCatch);
  log_.SetEnabled(ReadKeyInt("LogError") != 0);
  log_.SetExtension(".txt");
  dataFolder_ = NormaliseFolder(ReadKeyText("Soundpath"), false);
  if (dataFolder_.empty()) dataFolder_ = SettingDefault("Soundpath");
  log_.SetFolder(dataFolder_);
  dataFolderError_ = WritableFolderError(dataFolder_);
  return dataFolderError_.empty();
}

}  // namespace varn
