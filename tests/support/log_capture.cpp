#include "support/log_capture.h"

#include "support/text_lines.h"

namespace varn::test {

LogCapture::LogCapture() : log_(ownClock_), previous_(ActiveLog()) {
  log_.SetFolder(dir_.Path());
  SetActiveLog(&log_);
}

LogCapture::LogCapture(const Clock& clock, const std::string& folder)
    : log_(clock), previous_(ActiveLog()) {
  log_.SetFolder(folder);
  SetActiveLog(&log_);
}

LogCapture::~LogCapture() { SetActiveLog(previous_); }

std::string LogCapture::Events() const { return ReadText(log_.CurrentFilePath(false)); }
std::string LogCapture::Diagnostics() const { return ReadText(log_.CurrentFilePath(true)); }

std::vector<std::string> LogCapture::DiagnosticLines() const {
  std::vector<std::string> lines = Lines(Diagnostics());
  for (auto& line : lines)
    line = line.size() > 20 ? line.substr(20) : line;  // "YYYY/MM/DD HH:MM:SS "
  return lines;
}

int LogCapture::CountEvents(const std::string& text) const { return CountLines(Events(), text); }
int LogCapture::CountDiagnostics(const std::string& text) const {
  return CountLines(Diagnostics(), text);
}

}  // namespace varn::test
