#pragma once
// The event and archive hooks as the engine runs them. The event hook
// (setting EventCommand) runs once per event line with the line in its
// environment; the archive hook (ArchiveCommand) once per archive file that
// is complete.
//
// A kind of event of one channel and side runs at most once in ten seconds;
// the next run is told how many were held back (VARN_SUPPRESSED). The start
// and the end of one condition (over_level and over_level_end, ...) share
// that window, and when it closes the newest line held back is run late,
// with its own times and text, unless it says what the last run said: the
// program told always ends knowing the line's true state.
//
// Archive runs go one per closed file, in closing order, at most two at
// once, and none is dropped: those still waiting or running when the
// program ends are kept in a queue file in the data folder (one path a line)
// and run at the next start. Failures, time-outs and what a run printed go
// to the diagnostics file (failures once an hour for each cause).

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "engine/hooks/hook_runner.h"
#include "log/event_log.h"
#include "util/thread_role.h"

namespace varn {

inline constexpr double kHookRepeatSec = 10.0;
inline constexpr double kHookReportEverySec = 3600.0;
// The archive runs still to go, in the data folder.
inline constexpr std::string_view kArchiveQueueName = "archive_hook.queue";

struct HookSettings {
  std::string eventCommand;    // EventCommand
  std::string archiveCommand;  // ArchiveCommand
  double timeoutSec = 30.0;    // HookTimeoutSec
  bool operator==(const HookSettings&) const = default;
};

// The kind that names the condition an event line starts or ends
// ("over_level" for over_level and over_level_end, "input_stalled" for
// input_resumed), or the kind itself for a line of no such pair.
std::string_view HookCondition(std::string_view kind);

class HookService final : public EventListener {
 public:
  // `nameOf(ch)`: a channel's name; `now()`: seconds on a clock that only
  // goes forward; `dataFolder`: where the archive queue is kept (empty: not
  // kept). Nothing runs before Configure.
  HookService(std::function<std::string(int)> nameOf, std::function<double()> now,
              std::string dataFolder);

  const HookSettings& Settings() const { return settings_; }
  // The commands and time-out, at start and at a reload: runs that start
  // from now on take them; runs already going finish as they are. The
  // first time an archive command is set, the queue the last run left is
  // taken.
  void Configure(const HookSettings& settings) VARN_PROGRAM_THREAD;

  // The event hook, for every line of the event file.
  void OnEvent(const EventRecord& event) override;
  // The archive hook, for an archive file of channel ch that is complete.
  void FileFinished(int ch, const std::string& path) VARN_PROGRAM_THREAD;
  // Each tick: the lines held back whose window has closed, the archive
  // runs that have a free place, and the runs' failures and output to the
  // diagnostics file.
  void Report() VARN_PROGRAM_THREAD;
  // Until every run queued so far has ended (archive runs still to start
  // are started meanwhile), at most `seconds`; true when they have.
  bool Drain(double seconds) VARN_PROGRAM_THREAD;
  // The end of the program: the lines held back go now, Drain(seconds),
  // and the archive runs still waiting or going are written to the queue
  // file (it is removed when none are).
  void Finish(double seconds) VARN_PROGRAM_THREAD;
  // The files whose archive run has not ended (retention keeps them).
  std::vector<std::string> ArchivePending() const VARN_PROGRAM_THREAD { return ArchiveBacklog(); }

 private:
  // The archive runs not yet ended: going, then waiting, in closing order.
  std::vector<std::string> ArchiveBacklog() const VARN_PROGRAM_THREAD;

  // An event line as the hook's environment gives it.
  struct Line {
    std::string localTime;
    std::string utcTime;
    int channel = -1;
    int side = -1;
    std::string message;
    std::string kind;
  };
  // One channel, side and condition (or kind).
  struct Window {
    double opened = -1.0;  // when its last run was given, -1 before
    uint64_t heldBack = 0;
    std::optional<Line> newest;  // of a start/end pair: the newest line held back
    std::string lastRun;         // the kind its last run said
  };
  struct ArchiveJob {
    int channel = -1;
    std::string path;
  };
  using WindowKey = std::tuple<int, int, std::string>;

  void RunEvent(const WindowKey& key, Window& w, const Line& line) VARN_PROGRAM_THREAD;
  // Held lines whose window has closed (all of them when `now`).
  void ReleaseHeld(bool now) VARN_PROGRAM_THREAD;
  void StartArchiveRuns() VARN_PROGRAM_THREAD;
  void TakeQueueFile() VARN_PROGRAM_THREAD;
  void KeepQueue() VARN_PROGRAM_THREAD;
  void TellOutputs() VARN_PROGRAM_THREAD;
  HookRun MakeRun(const std::string& what, const std::string& command,
                  const std::map<std::string, std::string>& vars) const;
  void Diagnose(const std::string& cause) VARN_PROGRAM_THREAD;

  HookSettings settings_;
  std::function<std::string(int)> nameOf_;
  std::function<double()> now_;
  std::string dataFolder_;
  HookRunner runner_;
  std::map<WindowKey, Window> windows_;
  std::deque<ArchiveJob> archiveWaiting_;
  std::map<uint64_t, ArchiveJob> archiveGoing_;  // by id, which counts up in start order
  uint64_t nextArchiveId_ = 1;
  bool queueTaken_ = false;
  std::string queueKept_;                   // the queue file's text as last written ("": none)
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
