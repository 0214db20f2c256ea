#pragma once
// The running monitor without its window: the channel records, the two
// settings loaders, channel start and stop, the monitor selection, the
// update tick, and the start-up and shutdown steps that read and write
// settings. One thread calls everything here; the window (or the headless
// runner) owns the engine, drives its timer and implements its view.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/analysis_output.h"
#include "archive/channel_archive.h"
#include "audio/monitor_output.h"
#include "audio/wave_service.h"
#include "engine/analysis_pass.h"
#include "engine/channel_record.h"
#include "engine/engine_view.h"
#include "engine/misc_settings.h"
#include "engine/tick_timer.h"
#include "log/event_log.h"
#include "util/clock.h"
#include "util/timing.h"

namespace varn {

inline constexpr int kMaxChannels = 8;
// Seconds between two tries to start a channel whose device went away.
inline constexpr float kDeviceRetrySec = 5.0f;
// MP3 encodings per tick, and the most blocks a channel may keep waiting.
inline constexpr int kEncodesPerTick = 2;
inline constexpr size_t kMostWaitingBlocks = 2;
// A tick this late is reported by the watchdog line.
inline constexpr float kWatchdogSec = 10.0f;

// How long ticks take, for the operator's figures and the benchmarks.
struct TickStats {
  uint64_t ticks = 0;
  double totalMs = 0.0;
  double longestMs = 0.0;
  double MeanMs() const { return ticks ? totalMs / static_cast<double>(ticks) : 0.0; }
};

struct EngineServices {
  WaveService* audio = nullptr;
  const Clock* clock = nullptr;
  EventLog* log = nullptr;
  TickTimer* timer = nullptr;
  MessagePump pump;            // handle pending window messages
  EngineView* view = nullptr;  // may be null
  std::string dataFolder;      // archive folders go below it
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
  void Build();
  // The end of start-up: arms the update timer, starts every channel when
  // `startAll` (no record buttons, or headless) and logs the start line.
  void BeginRunning(bool startAll);

  // Shutdown before the window goes: stops every running channel, stores
  // each channel's display choices and stops the monitor output.
  void CloseChannels();
  // The last line of a run.
  void LogEndLine();

  // Reloads the global and monitoring settings and restarts every running
  // channel with them (stop, 200 ms of handled messages, start).
  void GetMiscSetting();
  // The waveform trace scales again, from the view's present size (the
  // window calls it once its panels are laid out).
  void UpdateTraceScales();
  // Loads channel ch's format and archive settings into its records.
  void SetFmt(int ch);

  // Starts channel ch (only refreshes its button when it runs already).
  // On failure "録音開始失敗" goes to the operator unless `quiet`.
  bool StartChannel(int ch, bool quiet = false);
  void StopChannel(int ch);
  // Button 0 of a record pair: toggles channel ch, or with shiftState 1
  // (Shift alone) every channel, each by its own state.
  void ToggleChannels(int ch, int shiftState);
  // A channel that should run but does not: tried again every few seconds
  // until it starts or the operator stops it. Does nothing to a running channel.
  void AwaitDevice(int ch);
  // Button 1 of a record pair: monitor ch, or stop monitoring it.
  void SelectMonitorChannel(int ch);
  // Stops monitoring whatever channel is monitored (the audio dialog opens).
  void StopMonitoring();

  // The stereo menu's rule: a mono 16-bit capture stays MonoLeft.
  void SetStereoMode(int ch, int mode);
  void SetMeterTextMode(int ch, int mode);
  void SetFftOffset(int ch, float percent);

  // One run of the update cycle. Ticks never overlap: a tick asked for
  // while one runs (from inside its message handling) does nothing, and so
  // does every tick after CloseChannels.
  void Tick();

  int ChannelCount() const { return static_cast<int>(channels_.size()); }
  ChannelRecord& Channel(int ch) { return *channels_.at(static_cast<size_t>(ch)); }
  const ChannelRecord& Channel(int ch) const { return *channels_.at(static_cast<size_t>(ch)); }
  bool Capturing(int ch) const { return Channel(ch).archive.Capturing == 1; }
  const MiscSettings& Misc() const { return misc_; }
  const PanelSettings& Panels() const { return panels_; }
  int MonitoredChannel() const { return monitor_.MonitorChannel; }
  const MonitorOutput& Monitor() const { return monitor_; }
  bool Started() const { return started_; }
  const EngineServices& Services() const { return s_; }
  const TickStats& Stats() const { return stats_; }

 private:
  void Pump() const;
  void CollectBuffers();
  void HandleDeviceLoss(int ch);
  void RetryLostDevices();
  void OncePerSecond(const ClockReading& now);
  void FeedWaitingBlocks();
  void ButtonLook(int ch);
  void StoreDisplayChoices(int ch);

  EngineServices s_;
  std::vector<std::unique_ptr<ChannelRecord>> channels_;
  std::vector<AnalysisChannelRefs> analysisRefs_;
  std::vector<ChannelArchive*> archives_;
  MonitorOutput monitor_;
  MiscSettings misc_;
  PanelSettings panels_;
  EventLogEvents events_;
  HourlyRollover rollover_;
  double lastTickTime_ = 0.0;  // kept to the millisecond for the watchdog figure
  bool started_ = false;
  bool inTick_ = false;
  bool closed_ = false;  // after CloseChannels no tick runs again
  int nextFeed_ = 0;     // the channel whose waiting block goes first
  TickStats stats_;
};

}  // namespace varn
