#pragma once
// An event log for one test: installed as the active log for the object's
// life, writing into a folder of the test's own on a clock the test sets (or
// on a fixed clock and a fresh folder).

#include <string>
#include <vector>

#include "log/event_log.h"
#include "support/temp_dir.h"
#include "util/clock.h"

namespace varn::test {

class LogCapture {
 public:
  LogCapture();
  LogCapture(const Clock& clock, const std::string& folder);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The texts of today's event and diagnostics files ("" when absent).
  std::string Events() const;
  std::string Diagnostics() const;
  // The diagnostics lines without their time stamps.
  std::vector<std::string> DiagnosticLines() const;
  // How many lines of the file contain `text`.
  int CountEvents(const std::string& text) const;
  int CountDiagnostics(const std::string& text) const;

 private:
  TempDir dir_;
  ManualClock ownClock_{DateTime{2026, 3, 14, 10, 0, 0, 0}};
  EventLog log_;
  EventLog* previous_;
};

}  // namespace varn::test
