#include "support/log_capture.h"

#include <sstream>

namespace varn::test {

namespace {
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

int CountLines(const std::string& text, const std::string& needle) {
  int n = 0;
  for (const auto& line : Lines(text)) n += line.find(needle) != std::string::npos;
  return n;
}
}  // namespace

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
