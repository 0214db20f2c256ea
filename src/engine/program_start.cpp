#include "engine/program_start.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <ostream>

#include "audio/wave_backend.h"
#include "log/event_log.h"
#include "ops/setting_rules.h"
#include "settings/folders.h"
#include "settings/setting_keys.h"
#include "settings/settings_file_check.h"
#include "settings/stream_setting.h"
#include "util/keep_until_exit.h"
#include "util/process_priority.h"
#include "util/text.h"
#include "util/text_file.h"

namespace varn {

ProgramStart::~ProgramStart() {
  OnProgramThread();  // made and ended by the program's thread
  if (program_ && !finished_) Finish(3.0, false);
}

bool ProgramStart::Begin(const std::string& appFolder) {
  SetAppFolder(appFolder);
  const std::string folder = AppFolder();
  if (!lock_.Acquire(folder, &message_)) return false;
  if (chdir(folder.c_str()) != 0) message_ = "cannot enter " + folder;
  runMarker_ = NormaliseFolder(folder, false) + kRunMarkerName;
  ReadRunMarker();
  program_ = std::make_unique<ProgramServices>(folder);
  // Before the first read: the reads write missing defaults into varn.ini.
  settingsProblems_ = SettingsProblemLines(program_->Store());
  dataFolderOk_ = program_->ApplyStartupSettings();
  writer_ = std::make_unique<LogFileWriter>();
  program_->Log().SetWriter(writer_.get());
  // From now on until a clean end the marker says when the program last ran.
  program_->Log().ReplaceFile(
      runMarker_, GetDateTimeText(program_->GetClock().Now(), DateTimeStyle::Plain,
                                  DateTimeParts::DateAndTime) +
                      "\n");
  RaiseProcessPriority();
  return true;
}

std::vector<std::string> SettingsProblemLines(const SettingsStore& store) {
  std::vector<std::string> lines;
  for (const SettingProblem& p : CheckSettingsFile(store, CheckProgramSetting))
    lines.push_back(p.text);
  return lines;
}

std::string ProgramStart::DataFolderFailure() const {
  if (!program_ || dataFolderOk_) return "";
  return program_->DataFolder() + ": " + program_->DataFolderError();
}

void ProgramStart::ReportSettingsProblems(std::ostream& err) {
  for (const std::string& line : settingsProblems_) {
    err << "varn: " << line << std::endl;
    if (program_) program_->Log().WriteLogLine(line, true);
  }
}

void ProgramStart::ReadRunMarker() {
  struct stat st {};
  if (stat(runMarker_.c_str(), &st) != 0) return;
  std::string text = TrimBlanks(ReadWholeFile(runMarker_, 4096).value_or(""));
  // A marker cut short (the machine lost power mid-write) still tells the
  // time it was last touched.
  if (text.size() != 19 || text[4] != '/' || text[13] != ':') {
    const time_t t = st.st_mtime;
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M:%S", &local);
    text = buffer;
  }
  uncleanEnd_ = text;
}

std::vector<std::string> ProgramStart::Finish(double seconds, bool clean) {
  std::vector<std::string> lines;
  if (finished_ || !program_) return lines;
  finished_ = true;
  EventLog& log = program_->Log();
  if (!writer_) return lines;
  if (clean) writer_->Remove(runMarker_);
  if (!writer_->Finish(seconds)) {
    lines = writer_->Backlog();
    // Its thread may still be in the disk: it keeps the writer.
    log.SetWriter(nullptr);
    KeepUntilExit(std::move(writer_));
    return lines;
  }
  log.SetWriter(nullptr);
  if (writer_->Dropped() > 0 || writer_->Lost() > 0) lines = writer_->Backlog();
  writer_.reset();
  return lines;
}

void ProgramStart::OpenAudio(const std::string& choice) {
  // The check of the settings file has told of a refused stream already.
  StreamInputs streams;
  streams.streams = ReadStreamSettings();
  streams.bufferMs = ReadKeyInt("StreamBufferMs");
  audio_ = CreateWaveService(choice, &audioNote_, std::move(streams));
}

}  // namespace varn
