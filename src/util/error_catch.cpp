#include "util/error_catch.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace varn {

namespace {
int gErrorCatch = 0;

constexpr auto kReportInterval = std::chrono::hours(1);

struct TrapState {
  std::mutex mutex;
  TrapReporter reporter;
  // Last report per trap (file and line), so each trap speaks once an hour.
  std::map<std::pair<std::string, unsigned>, std::chrono::steady_clock::time_point> lastReport;
};
TrapState& State() {
  static TrapState state;
  return state;
}

std::string CurrentErrorText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}
}  // namespace

int ErrorCatch() { return gErrorCatch; }
void SetErrorCatch(int value) { gErrorCatch = value; }

void SetTrapReporter(TrapReporter reporter) {
  TrapState& s = State();
  std::lock_guard lock(s.mutex);
  s.reporter = std::move(reporter);
  s.lastReport.clear();
}

void NoteTrappedError(const std::source_location& where) noexcept {
  try {
    TrapState& s = State();
    TrapReporter reporter;
    {
      std::lock_guard lock(s.mutex);
      if (!s.reporter) return;
      const auto now = std::chrono::steady_clock::now();
      auto [it, fresh] = s.lastReport.try_emplace({where.file_name(), where.line()}, now);
      if (!fresh) {
        if (now - it->second < kReportInterval) return;
        it->second = now;
      }
      reporter = s.reporter;
    }
    // Reported outside the lock: the reporter writes a file and may trap
    // errors of its own.
    reporter(where.function_name(), CurrentErrorText());
  } catch (...) {
  }
}

}  // namespace varn
