#pragma once
// The process-wide services every part of the program shares, set up the way
// start-up sets them: the program folder, the settings store chosen once for
// the run, the error switch and the event log.

#include <memory>
#include <string>

#include "log/event_log.h"
#include "settings/settings_store.h"
#include "util/clock.h"

namespace varn {

class ProgramServices {
 public:
  // Fixes the program folder (the given one, else DefaultAppFolder) and
  // chooses the settings store. Reads no setting yet.
  explicit ProgramServices(const std::string& appFolder);
  ~ProgramServices();
  ProgramServices(const ProgramServices&) = delete;
  ProgramServices& operator=(const ProgramServices&) = delete;

  // ErrorCatch (the setting, else 1 when ec.txt is in the program folder),
  // LogEnabled from "LogError", and the event log's folder: the data folder
  // ("Soundpath"), created when missing. Returns false when the data folder
  // cannot be created or written (DataFolderError says why).
  bool ApplyStartupSettings();

  const Clock& GetClock() const { return clock_; }
  const SettingsStore& Store() const { return store_; }
  EventLog& Log() { return log_; }
  const std::string& DataFolder() const { return dataFolder_; }
  // "" when the data folder can be written, else the system's reason.
  const std::string& DataFolderError() const { return dataFolderError_; }

 private:
  SystemClock clock_;
  SettingsStore store_;
  EventLog log_;
  std::string dataFolder_;
  std::string dataFolderError_;
};

}  // namespace varn
