#pragma once
// The start-up steps the window and the headless monitor share: one monitor
// per program folder, the program folder as the current folder, the
// settings store, the error switch and log switches, the data folder, a
// higher process priority and the audio backend.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "audio/wave_service.h"
#include "log/log_writer.h"
#include "settings/program_setup.h"
#include "util/instance_lock.h"

namespace varn {

// Kept in the program folder, beside the lock, while a monitor runs: the
// local time of its last tick. A start that finds it knows the previous run
// did not end cleanly, and when it stopped.
inline constexpr const char* kRunMarkerName = "varn.running";

class ProgramStart {
 public:
  ProgramStart() = default;
  // Ends as Finish(…, false) when nobody finished it.
  ~ProgramStart();
  ProgramStart(const ProgramStart&) = delete;
  ProgramStart& operator=(const ProgramStart&) = delete;

  // False when another monitor runs on the program folder (or its lock file
  // cannot be made); `Message` then says so in one line.
  bool Begin(const std::string& appFolder) VARN_PROGRAM_THREAD;
  // The audio backend ("pulse", "sim" or "auto"); `AudioNote` says which.
  void OpenAudio(const std::string& choice);

  const std::string& Message() const { return message_; }
  const std::string& AudioNote() const { return audioNote_; }
  bool DataFolderOk() const { return dataFolderOk_; }
  // The data folder and why it cannot be made or written:
  // "/srv/varn_data/: Permission denied"; "" when it can.
  std::string DataFolderFailure() const;
  // The stored values the program cannot use as they stand, one line each
  // ("varn.ini line 7: NumRec=banana is not ...; using 1"), found before
  // anything was read.
  const std::vector<std::string>& SettingsProblems() const { return settingsProblems_; }
  // Each of SettingsProblems on `err` and in the diagnostics file.
  void ReportSettingsProblems(std::ostream& err) VARN_PROGRAM_THREAD;
  // The previous run's last tick ("YYYY/MM/DD HH:MM:SS") when it did not
  // end cleanly; empty after a clean end.
  const std::string& UncleanEnd() const { return uncleanEnd_; }
  const std::string& RunMarker() const { return runMarker_; }
  // The end of the program: after a clean end the marker goes; then the
  // log's thread writes out what it holds within `seconds`. Returns a line
  // for what it could not write.
  std::vector<std::string> Finish(double seconds, bool clean) VARN_PROGRAM_THREAD;
  ProgramServices& Program() { return *program_; }
  WaveService& Audio() { return *audio_; }

 private:
  void ReadRunMarker();

  InstanceLock lock_;
  std::unique_ptr<LogFileWriter> writer_;
  std::unique_ptr<ProgramServices> program_;
  std::unique_ptr<WaveService> audio_;
  std::string message_;
  std::string audioNote_;
  bool dataFolderOk_ = false;
  bool finished_ = false;
  std::string runMarker_;
  std::string uncleanEnd_;
  std::vector<std::string> settingsProblems_;
};

// The same check, for a settings file read again (SIGHUP): its problems as
// lines for ReportSettingsProblems' reader.
std::vector<std::string> SettingsProblemLines(const SettingsStore& store);

}  // namespace varn
