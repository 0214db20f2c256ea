#pragma once
// The event and archive hooks as the engine runs them. The event hook
// (setting EventCommand) runs once per event line with the line in its
// environment; the archive hook (ArchiveCommand) once per archive file that
// is complete. A kind of event of one channel and side runs at most once in
// ten seconds: the next run is told how many were held back
// (VARN_SUPPRESSED), and none is run late. Failures and time-outs go to the
// diagnostics file, once an hour for each cause.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "engine/hooks/hook_runner.h"
#include "log/event_log.h"

namespace varn {

inline constexpr double kHookRepeatSec = 10.0;
inline constexpr double kHookReportEverySec = 3600.0;
// How long a shutdown waits for the runs of the files it has just closed.
inline constexpr double kHookShutdownWaitSec = 10.0;

struct HookSettings {
  std::string eventCommand;    // EventCommand
  std::string archiveCommand;  // ArchiveCommand
  double timeoutSec = 30.0;    // HookTimeoutSec
  bool operator==(const HookSettings&) const = default;
};

class HookService final : public EventListener {
 public:
  // `nameOf(ch)`: a channel's name; `now()`: seconds on a clock that only
  // goes forward.
  HookService(const HookSettings& settings, std::function<std::string(int)> nameOf,
              std::function<double()> now);

  const HookSettings& Settings() const { return settings_; }
  void SetTimeout(double seconds);

  // The event hook, for every line of the event file.
  void OnEvent(const EventRecord& event) override;
  // The archive hook, for an archive file of channel ch that is complete.
  void FileFinished(int ch, const std::string& path);
  // Each tick: the runs' failures to the diagnostics file.
  void Report();
  // Waits for every run queued so far, at most `seconds`.
  bool WaitIdle(double seconds) { return runner_.WaitIdle(seconds); }

 private:
  void Submit(const std::string& what, const std::string& command,
              const std::map<std::string, std::string>& vars);
  void Diagnose(const std::string& cause);

  HookSettings settings_;
  std::function<std::string(int)> nameOf_;
  std::function<double()> now_;
  HookRunner runner_;
  struct Repeat {
    double lastRun = 0.0;
    uint64_t heldBack = 0;
  };
  std::map<std::tuple<int, int, std::string>, Repeat> repeats_;
  std::map<std::string, double> reported_;  // cause -> when it was last written
  uint64_t dropped_ = 0;  // runs that found the queue full, not yet counted in the file
  uint64_t droppedSeen_ = 0;
  double droppedReported_ = 0.0;
};

// The hook settings as stored, or why they may not run: "" when they may.
// Reads EventCommand, ArchiveCommand and HookTimeoutSec; when a command is
// set, the settings file must be safe to take commands from.
HookSettings ReadHookSettings(std::string* refusal);

}  // namespace varn
