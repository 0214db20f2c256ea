#pragma once
// The varn executable as a service manager runs it: on a program folder of
// the test's own, standard output and error kept in files beside it, ended
// by a signal or by its duration. And what a run leaves behind: event lines
// and archive files.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/text_lines.h"

namespace varn::test {

class VarnRun {
 public:
  // Starts VARN_EXE --app-folder appFolder args...; `env` entries
  // ("NAME=value") replace or add to the inherited environment.
  VarnRun(const std::string& appFolder, const std::vector<std::string>& args,
          const std::vector<std::string>& env = {});
  ~VarnRun();  // a run still going is killed
  VarnRun(const VarnRun&) = delete;
  VarnRun& operator=(const VarnRun&) = delete;

  bool Running();
  pid_t Pid() const { return pid_; }
  void Signal(int signal);
  // The exit status; -1 when a signal ended it, or when it did not end
  // within `seconds` (it is killed then).
  int Wait(double seconds);
  // From the start to the end of the run, or to now while it runs.
  double Seconds() const;
  std::string Out() const;
  std::string Err() const;
  // Waits until standard output has a line containing `text`.
  bool WaitForOutput(const std::string& text, double seconds, int occurrences = 1) const;

 private:
  std::string outPath_;
  std::string errPath_;
  pid_t pid_ = -1;
  int status_ = -1;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point end_;
};

// Every event file (varnYYYYMMDD.txt) of the data folder, oldest first, and
// the diagnostics files (varnYYYYMMDD.err) the same way.
std::string EventFiles(const std::string& appFolder);
std::string DiagnosticsFiles(const std::string& appFolder);
// Event lines without their local and UTC times ("ch1 録音開始"); a line
// without both fails the test.
std::vector<std::string> EventTexts(const std::vector<std::string>& lines);
// Channel ch's (1-based) archive files, oldest first.
std::vector<std::string> ArchiveFiles(const std::string& appFolder, int ch);

}  // namespace varn::test
