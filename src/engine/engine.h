#pragma once
// The running monitor without its window: the channel records, the two
// settings loaders, channel start and stop, the monitor selection, the
// update tick, and the start-up and shutdown steps that read and write
// settings. One thread calls everything here; the window (or the headless
// runner) owns the engine, drives its timer and implements its view.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_output.h"
#include "analysis/live_loudness.h"
#include "archive/archive_worker.h"
#include "archive/channel_archive.h"
#include "audio/monitor_output.h"
#include "audio/wave_service.h"
#include "engine/analysis_pass.h"
#include "engine/archive_keeping.h"
#include "engine/channel_record.h"
#include "engine/engine_view.h"
#include "engine/hooks/hook_service.h"
#include "engine/misc_settings.h"
#include "engine/tick_timer.h"
#include "log/event_log.h"
#include "util/clock.h"
#include "util/thread_role.h"
#include "util/timing.h"

namespace varn {

inline constexpr int kMaxChannels = 8;
// Seconds between two tries to start a channel whose device went away.
inline constexpr float kDeviceRetrySec = 5.0f;
// The pause between stopping and starting a channel a settings reload restarts.
inline constexpr double kRestartPauseSec = 0.2;
// A tick this late is reported by the watchdog line.
inline constexpr float kWatchdogSec = 10.0f;
// A jump of the wall clock against the steady clock beyond this (an NTP
// step, a changed time zone) starts new archive files named by the new time.
inline constexpr double kWallStepSec = 1.0;
// The end of the program has a budget a service manager can rely on: the
// archive worker gets this long to write out what it holds, the hooks
// what is left of kShutdownBudgetSec but a little for the last lines.
inline constexpr double kShutdownBudgetSec = 15.0;
inline constexpr double kArchiveFinishSec = 8.0;
inline constexpr double kLastLinesSec = 1.5;
// Diagnostics texts.
inline constexpr std::string_view kWallStepText = "Wall clock stepped by ";
inline constexpr std::string_view kClockSyncText = "System clock synchronised: ";

// How long ticks take, for the operator's figures and the benchmarks.
struct TickStats {
  uint64_t ticks = 0;
  double totalMs = 0.0;
  double longestMs = 0.0;
  double lastMs = 0.0;  // the tick just ended
  double MeanMs() const { return ticks ? totalMs / static_cast<double>(ticks) : 0.0; }
};

struct EngineServices {
  WaveService* audio = nullptr;
  const Clock* clock = nullptr;
  EventLog* log = nullptr;
  TickTimer* timer = nullptr;
  EngineView* view = nullptr;        // may be null
  std::string dataFolder;            // archive folders go below it
  TickObserver* observer = nullptr;  // told after every tick; may be null
  // The archive worker runs on its own thread; without it (tests that want
  // every file written by the end of each tick) the tick does its work.
  bool archiveThread = true;
  // Whether the system clock is synchronised (the kernel's NTP state); an
  // empty result when it cannot be told. Null: the system's own answer.
  std::function<std::optional<bool>()> clockSynchronised;
  // The local time of the last tick of the previous run, when that run
  // did not end cleanly ("YYYY/MM/DD HH:MM:SS"); empty after a clean end.
  std::string uncleanEnd;
  // The run marker, rewritten every second with the local time while the
  // program runs; empty for none.
  std::string runMarker;
  // Keeping the archive: the listing of the archive files (null: the
  // archive catalogue) and the free-space reading (null: the file
  // system's); tests give their own.
  ArchiveSweeper::Lister archiveListing;
  DiskSpaceReader diskSpace;
  // Nobody is at hand to start a channel (headless): one that a settings
  // reload restarts and that then cannot start is tried again every few
  // seconds, like a device that cannot start.
  bool unattended = false;
};

// What ReloadSettings found.
struct SettingsReload {
  std::vector<int> restarting;  // channels whose capture settings changed, in restart order
  std::vector<int> retuned;     // running channels given new monitoring settings in place
  // NumRec as the file has it now; the channel count itself changes only
  // when the program starts again.
  int storedChannelCount = 0;
};

// What the start-up steps read that the window lays out with.
struct PanelSettings {
  int32_t showLevelValues = 1;        // ShowLevelValues
  int32_t maxNumX = 4;                // MaxNumX, 1..8
  int32_t showRecButton = 1;          // ShowRecButton
  int32_t showChName = 1;             // ShowChName
  std::string vuLevelTrim = "-20.0";  // VULevelTrim
};

class Engine {
 public:
  explicit Engine(EngineServices services);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Start-up, after the process-wide switches: reads the interval, the panel
  // switches and the channel count (1..8), makes every channel record, runs
  // the encoder check on channel 0's codec object, GetMiscSetting and SetFmt
  // for every channel, and reads each channel's display choices.
  void Build() VARN_PROGRAM_THREAD;
  // The end of start-up: arms the update timer, starts every channel when
  // `startAll` (no record buttons, or headless) and logs the start line.
  void BeginRunning(bool startAll) VARN_PROGRAM_THREAD;

  // Shutdown before the window goes: stops every running channel, stores
  // each channel's display choices and stops the monitor output.
  void CloseChannels() VARN_PROGRAM_THREAD;
  // After CloseChannels: lets the archive worker write out what it holds
  // for at most `seconds`. Returns a line for each channel whose archive it
  // could not finish (the disk does not answer): the program must then end
  // without waiting for it.
  std::vector<std::string> FinishArchives(double seconds) VARN_PROGRAM_THREAD;
  // The last line of a run.
  void LogEndLine() VARN_PROGRAM_THREAD;

  // Reloads the global and monitoring settings and restarts every running
  // channel with them, one after another: stop, a pause of 200 ms, start.
  // It returns at once; the ticks carry the restarts out, so the window
  // goes on meanwhile.
  void GetMiscSetting() VARN_PROGRAM_THREAD;
  // The settings file changed under a running monitor (SIGHUP): applies the
  // global and monitoring settings as GetMiscSetting does, but restarts
  // (the same way) only the running channels whose own capture settings
  // changed; the others record on without a gap, their detectors given
  // changed monitoring settings in place. Channel names apply at once.
  SettingsReload ReloadSettings() VARN_PROGRAM_THREAD;
  // The waveform trace scales again, from the view's present size (the
  // window calls it once its panels are laid out).
  void UpdateTraceScales() VARN_PROGRAM_THREAD;
  // Loads channel ch's format and archive settings into its records.
  void SetFmt(int ch) VARN_PROGRAM_THREAD;

  // Starts channel ch (only refreshes its button when it runs already).
  // On failure "録音開始失敗" goes to the operator unless `quiet`.
  bool StartChannel(int ch, bool quiet = false) VARN_PROGRAM_THREAD;
  void StopChannel(int ch) VARN_PROGRAM_THREAD;
  // Button 0 of a record pair: toggles channel ch, or with shiftState 1
  // (Shift alone) every channel, each by its own state.
  void ToggleChannels(int ch, int shiftState) VARN_PROGRAM_THREAD;
  // A channel that should run but does not: tried again every few seconds
  // until it starts or the operator stops it. Does nothing to a running channel.
  void AwaitDevice(int ch) VARN_PROGRAM_THREAD;
  // Button 1 of a record pair: monitor ch, or stop monitoring it.
  void SelectMonitorChannel(int ch) VARN_PROGRAM_THREAD;
  // Stops monitoring whatever channel is monitored (the audio dialog opens).
  void StopMonitoring() VARN_PROGRAM_THREAD;

  // The stereo menu's rule: a mono 16-bit capture stays MonoLeft.
  void SetStereoMode(int ch, int mode) VARN_PROGRAM_THREAD;
  // Lufs only while the loudness view is on; otherwise it reads as Rms.
  void SetMeterTextMode(int ch, int mode) VARN_PROGRAM_THREAD;
  void SetFftOffset(int ch, float percent) VARN_PROGRAM_THREAD;
  // The operator's name for channel ch; stored as ChName_ at once.
  void RenameChannel(int ch, const std::string& name) VARN_PROGRAM_THREAD;

  // One run of the update cycle. It never handles window messages: a
  // command that arrives meanwhile runs after it. Ticks never overlap (a
  // tick asked for from inside one does nothing), and no tick runs after
  // CloseChannels.
  void Tick() VARN_PROGRAM_THREAD;

  int ChannelCount() const { return static_cast<int>(channels_.size()); }
  // What a channel is doing, for the window and the tests to read; only
  // the engine's commands change it.
  const ChannelRecord& Channel(int ch) const { return *channels_.at(static_cast<size_t>(ch)); }
  bool Capturing(int ch) const { return Channel(ch).archive.Capturing == 1; }
  const MiscSettings& Misc() const { return misc_; }
  const PanelSettings& Panels() const { return panels_; }
  int MonitoredChannel() const { return monitor_.MonitorChannel; }
  // Whether the system clock is synchronised, as last looked at (-1: unknown).
  int ClockSynchronised() const { return clockSynced_; }
  // Frames channel ch lost since the program started: capture overruns,
  // blocks the archive lane could not take, writes the disk refused.
  uint64_t LostFrames(int ch) const VARN_PROGRAM_THREAD;
  const MonitorOutput& Monitor() const { return monitor_; }
  bool Started() const { return started_; }
  const EngineServices& Services() const { return s_; }
  const TickStats& Stats() const { return stats_; }
  // A channel stopped by a settings reload and waiting to start again.
  bool RestartPending(int ch) const { return Channel(ch).restartPending; }
  // Channel ch's loudness now (every figure empty while it does not run);
  // from the program's thread or any other.
  LoudnessReadings Loudness(int ch) const;
  // The integrated loudness of channel ch's last hour that ended, in LUFS
  // (empty before one has ended, or when it had none); from any thread.
  std::optional<double> LastHourLoudness(int ch) const;
  // Whether the disk refuses channel ch's archive writes: from the first
  // failed write until one succeeds (told by the archive worker).
  bool ArchiveWriteFailing(int ch) const { return Channel(ch).writer.WriteFailing(); }
  // The free-space guard has nothing left to delete and the space is still
  // short (ArchiveMinFreeMB); from any thread.
  bool DiskLow() const { return keeping_ && keeping_->DiskLow(); }
  // Retention, the free-space guard and the checksums; null before Build.
  ArchiveKeeping* Keeping() { return keeping_.get(); }
  const ArchiveKeeping* Keeping() const { return keeping_.get(); }
  // The wall-clock time of the last tick, as Unix seconds (0 before one).
  double LastTickUnixTime() const { return lastTickUnixTime_; }

 private:
  ChannelRecord& Rec(int ch) { return *channels_.at(static_cast<size_t>(ch)); }
  void CollectBuffers() VARN_PROGRAM_THREAD;
  void NoteArrival(ChannelRecord& c) VARN_PROGRAM_THREAD;
  static uint32_t FillingBytes(const CaptureChannel& capture);
  void WatchInputs() VARN_PROGRAM_THREAD;
  void EndLossIncident(int ch) VARN_PROGRAM_THREAD;
  // Seconds on the steady clock: every duration the engine measures.
  double RunNow() const { return s_.clock->Steady(); }
  void HandleDeviceLoss(int ch) VARN_PROGRAM_THREAD;
  void RetryLostDevices() VARN_PROGRAM_THREAD;
  void AdvanceRestarts() VARN_PROGRAM_THREAD;
  // The global and monitoring settings, as both reloads read them.
  void ApplyMiscSettings() VARN_PROGRAM_THREAD;
  CaptureKeys ReadCaptureKeys(int ch) const VARN_PROGRAM_THREAD;
  // Stopped for a restart, or waiting for its turn.
  bool RestartQueued(int ch) const VARN_PROGRAM_THREAD;
  void ConfigureHooks() VARN_PROGRAM_THREAD;
  void OncePerSecond(const ClockReading& now, bool wallStepped) VARN_PROGRAM_THREAD;
  // A step of the wall clock since the last tick (seconds, 0 for none).
  double WallStep(const ClockReading& now) VARN_PROGRAM_THREAD;
  void WatchClockSync() VARN_PROGRAM_THREAD;
  void StartNewFiles() VARN_PROGRAM_THREAD;
  void ButtonLook(int ch) VARN_PROGRAM_THREAD;
  void StoreDisplayChoices(int ch) VARN_PROGRAM_THREAD;

  EngineServices s_;
  std::vector<std::unique_ptr<ChannelRecord>> channels_;
  // Made after the channel records and gone before them: its lanes point
  // at their archives.
  std::unique_ptr<ArchiveWorker> worker_;
  // Retention, the free-space guard and the checksums, with their thread.
  std::unique_ptr<ArchiveKeeping> keeping_;
  // The files still queued for ArchiveCommand.
  std::vector<std::string> ArchivePending() const VARN_PROGRAM_THREAD;
  // A closed file's ArchiveCommand run (after its sum, when there is one).
  void ToArchiveHook(int ch, const std::string& path) VARN_PROGRAM_THREAD;
  // The event and archive hooks: from the first time one is set and may run.
  std::unique_ptr<HookService> hooks_;
  std::string hookRefusal_;  // why the hooks may not run, as last written
  std::vector<AnalysisChannelRefs> analysisRefs_;
  MonitorOutput monitor_;
  MiscSettings misc_;
  PanelSettings panels_;
  EventLogEvents events_;
  HourlyRollover rollover_;
  double lastTickTime_ = 0.0;  // RunNow at the end of the last tick, for the watchdog
  double wallOffset_ = 0.0;    // local wall time less RunNow, at the last tick
  bool wallOffsetKnown_ = false;
  // The wall clock (UTC) at the last tick, in Unix seconds.
  double lastTickUnixTime_ = 0.0;
  int clockSynced_ = -1;
  // The worker could not finish in time: it and what it uses are left to
  // the end of the process.
  bool archivesAbandoned_ = false;
  double shutdownBegan_ = -1.0;  // steady seconds of CloseChannels
  bool started_ = false;
  bool inTick_ = false;
  bool closed_ = false;        // after CloseChannels no tick runs again
  bool mp3Available_ = false;  // the encoder check at start-up
  // The settings reload's restarts: channels still to restart, in order,
  // and the one now in its pause.
  std::vector<int> restartQueue_;
  int restarting_ = -1;
  double restartStopped_ = 0.0;  // RunNow at its stop
  TickStats stats_;
};

}  // namespace varn
