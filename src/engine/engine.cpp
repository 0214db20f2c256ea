#include "engine/engine.h"

#include <algorithm>
#include <chrono>

#include "archive/format_codes.h"
#include "audio/capture.h"
#include "audio/device_catalogue.h"
#include "engine/archive_listing.h"
#include "engine/engine_texts.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "util/clock_sync.h"
#include "util/error_catch.h"
#include "util/keep_until_exit.h"
#include "util/text.h"

namespace varn {

namespace {
// The real steady clock: the shutdown's budget is the service manager's
// time, whatever clock the engine was given.
double SteadyNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

Engine::Engine(EngineServices services) : s_(std::move(services)), events_(*s_.log) {}

Engine::~Engine() {
  OnProgramThread();  // whoever drives the engine ends it
  // The shutdown's budget counts from the channels' close, when there was one.
  const double began = shutdownBegan_ >= 0.0 ? shutdownBegan_ : SteadyNow();
  // Devices first: no backend thread may outlive the blocks it fills. Then
  // the worker, which writes out what is queued, before the archives go.
  StopMonitor(monitor_, true);
  for (auto& c : channels_)
    if (c->archive.Capturing == 1) StopCapture(0, c->capture, c->archive, c->lane);
  if (!archivesAbandoned_ && worker_ && !worker_->Finish(kArchiveFinishSec)) {
    for (const std::string& line : worker_->Backlog()) WriteLogLine(line, true);
    archivesAbandoned_ = true;
  }
  if (archivesAbandoned_) {
    // The worker still writes (or waits for a disk): it keeps its lanes,
    // and the lanes keep the channels' archives.
    KeepUntilExit(std::move(worker_));
    for (auto& c : channels_) KeepUntilExit(std::move(c));
    channels_.clear();
  }
  worker_.reset();
  if (keeping_) {
    // Sums written meanwhile; the files still waiting go to the hook without.
    keeping_->Report([this](int ch, const std::string& path) {
      OnProgramThread();
      ToArchiveHook(ch, path);
    });
    for (const auto& [ch, path] : keeping_->Unsummed()) ToArchiveHook(ch, path);
    keeping_.reset();
  }
  if (hooks_) {
    // The runs of the files just closed (and of the last lines) may
    // finish, within their time-out and what the end of the program has
    // left; archive runs that do not are kept for the next start.
    const double spent = SteadyNow() - began;
    hooks_->Finish(
        std::clamp(kShutdownBudgetSec - kLastLinesSec - spent, 0.0, hooks_->Settings().timeoutSec));
    s_.log->RemoveListener(hooks_.get());
    hooks_.reset();
  }
}

void Engine::ConfigureHooks() {
  std::string refusal;
  HookSettings settings = ReadHookSettings(&refusal);
  const bool wanted = !settings.eventCommand.empty() || !settings.archiveCommand.empty();
  if (refusal != hookRefusal_) {
    hookRefusal_ = refusal;
    if (!refusal.empty())
      WriteLogLine("EventCommand and ArchiveCommand are not run: " + refusal +
                       " (whoever can write it could run programs as varn)",
                   true);
  }
  if (!refusal.empty()) settings.eventCommand = settings.archiveCommand = "";
  if (!hooks_) {
    if (!wanted || !refusal.empty()) return;
    hooks_ = std::make_unique<HookService>(
        [this](int ch) {
          return ch >= 0 && ch < ChannelCount() ? Channel(ch).name : std::string();
        },
        [this] { return RunNow(); }, s_.dataFolder);
    s_.log->AddListener(hooks_.get());
  }
  // Once there, the service stays to the end of the program: runs going
  // (an upload) finish whatever a reload changed, and archive runs still
  // waiting take the command in force when they start.
  hooks_->Configure(settings);
}

void Engine::Build() {
  int32_t count = 1;
  {
    SettingsBatch batch;
    misc_.updateIntervalMs = std::clamp(ReadKeyInt("TimerUpdateInt"), 1, 1000);
    panels_.showLevelValues = ReadKeyInt("ShowLevelValues");
    // Outside 1..8 (a hand-edited value) the grid and the arrays make no sense.
    count = std::clamp(ReadKeyInt("NumRec"), 1, kMaxChannels);
    panels_.maxNumX = std::clamp(ReadKeyInt("MaxNumX"), 1, kMaxChannels);
    panels_.showRecButton = ReadKeyInt("ShowRecButton");
    panels_.showChName = ReadKeyInt("ShowChName");
    panels_.vuLevelTrim = ReadKeyText("VULevelTrim");
  }

  worker_.reset();
  channels_.clear();
  for (int ch = 0; ch < count; ++ch)
    channels_.push_back(std::make_unique<ChannelRecord>(ch, *s_.clock, s_.dataFolder));
  worker_ = std::make_unique<ArchiveWorker>();
  analysisRefs_.clear();
  for (auto& c : channels_) {
    analysisRefs_.push_back({&c->capture, &c->archive, &c->analysis});
    c->lane = &worker_->AddLane(c->writer);
  }
  // Told by WriteNotes, on the program's thread.
  worker_->onFileFinished = [this](int32_t ch, const std::string& path) {
    OnProgramThread();
    // With ArchiveChecksum the hook waits for the file's sum.
    if (!keeping_ || keeping_->FileFinished(ch, path)) ToArchiveHook(ch, path);
  };
  worker_->onFileBegun = [this](int32_t ch, const std::string& path) {
    OnProgramThread();
    if (ch >= 0 && ch < ChannelCount()) Rec(ch).archive.CurrentPath = path;
    if (keeping_) keeping_->FileBegun(ch, path);
  };
  if (!keeping_) {
    ArchiveKeeping::Options keep;
    keep.dataFolder = s_.dataFolder;
    keep.clock = s_.clock;
    keep.log = s_.log;
    keep.list = s_.archiveListing ? s_.archiveListing : ArchiveSweeper::Lister(ListArchiveFiles);
    keep.readSpace = s_.diskSpace;
    keep.thread = s_.archiveThread;
    keeping_ = std::make_unique<ArchiveKeeping>(std::move(keep));
  }
  if (s_.archiveThread) worker_->Start();

  // Channel 0's codec object answers for every channel whether MP3 is
  // possible; asked once here, before the worker ever uses that object.
  TrappedStep([&]() VARN_PROGRAM_THREAD { channels_[0]->writer.Encoder().Init(); });
  mp3Available_ = channels_[0]->writer.Encoder().EncAvailable() != 0;

  monitor_.MonitorChannel = -1;
  GetMiscSetting();
  SettingsBatch batch;
  for (int ch = 0; ch < count; ++ch) SetFmt(ch);
  for (int ch = 0; ch < count; ++ch) {
    ChannelRecord& c = Rec(ch);
    c.analysis.stereoMode = StereoModeFromInt(ReadKeyInt(ChannelKey("StereoMode_", ch)));
    c.name = ReadKeyText(ChannelKey("ChName_", ch));
    c.expectAudio = ReadKeyInt(ChannelKey("ExpectAudio_", ch)) != 0;
    c.fftOffset = std::clamp(ReadKeyReal(ChannelKey("FFTOffset_", ch)), 0.0f, 100.0f);
    c.analysis.meterTextMode =
        MeterTextModeFromInt(ReadKeyInt(ChannelKey("VUValueShows_", ch)), misc_.loudnessView);
  }
  rollover_.Reset();
  lastTickTime_ = RunNow();
  wallOffsetKnown_ = false;
  s_.log->ResetLastLogTime();
  WatchClockSync();
}

void Engine::WatchClockSync() {
  const std::optional<bool> synced =
      s_.clockSynchronised ? s_.clockSynchronised() : SystemClockSynchronised();
  const int now = synced ? (*synced ? 1 : 0) : -1;
  if (now == clockSynced_) return;
  clockSynced_ = now;
  WriteLogLine(std::string(kClockSyncText) + (now == 1 ? "yes" : now == 0 ? "no" : "unknown"),
               true);
}

std::vector<std::string> Engine::FinishArchives(double seconds) {
  if (!worker_ || archivesAbandoned_) return {};
  if (worker_->Finish(seconds)) return {};
  archivesAbandoned_ = true;
  std::vector<std::string> lines = worker_->Backlog();
  for (const std::string& line : lines) WriteLogLine(line, true);
  return lines;
}

uint64_t Engine::LostFrames(int ch) const {
  const ChannelRecord& c = Channel(ch);
  return c.capture.LostFrames + (c.lane ? c.lane->LostFrames() : 0);
}

void Engine::BeginRunning(bool startAll) {
  s_.timer->Arm(misc_.updateIntervalMs);
  started_ = true;
  // Where the last run left off without its end line: the hole in the
  // files begins then.
  if (!s_.uncleanEnd.empty()) s_.log->LogEvent(std::string(kUncleanEndText) + s_.uncleanEnd);
  if (startAll && !channels_.empty()) ToggleChannels(0, 1);
  s_.log->LogEvent(kStartBanner);
  // Retention and the free space, once at start-up (on the sweeper's thread).
  if (keeping_) keeping_->Request(kSweepRetention | kSweepSpace, ArchivePending());
}

std::vector<std::string> Engine::ArchivePending() const {
  return hooks_ ? hooks_->ArchivePending() : std::vector<std::string>{};
}

void Engine::ToArchiveHook(int ch, const std::string& path) {
  if (hooks_) hooks_->FileFinished(ch, path);
}

void Engine::StoreDisplayChoices(int ch) {
  const ChannelRecord& c = Rec(ch);
  WriteSetting(ChannelKey("FFTOffset_", ch), FormatFixed(c.fftOffset, 1));
  int32_t meterMode = static_cast<int32_t>(c.analysis.meterTextMode);
  // Without the loudness view a stored LUFS choice shows as RMS; while the
  // meter still shows RMS the choice is kept for when the view comes back.
  const int32_t lufs = static_cast<int32_t>(MeterTextMode::Lufs);
  if (!misc_.loudnessView && c.analysis.meterTextMode == MeterTextMode::Rms &&
      ReadKeyInt(ChannelKey("VUValueShows_", ch)) == lufs)
    meterMode = lufs;
  WriteSetting(ChannelKey("VUValueShows_", ch), meterMode);
  WriteSetting(ChannelKey("StereoMode_", ch), static_cast<int32_t>(c.analysis.stereoMode));
}

void Engine::CloseChannels() {
  if (shutdownBegan_ < 0.0) shutdownBegan_ = SteadyNow();
  s_.timer->Disarm();
  started_ = false;
  closed_ = true;
  restartQueue_.clear();
  restarting_ = -1;
  for (int ch = 0; ch < ChannelCount(); ++ch) {
    ChannelRecord& c = Rec(ch);
    c.awaitingDevice = false;
    c.restartPending = false;
    // As by the record button, so the event file shows when each archive ended.
    if (c.archive.Capturing == 1) TrappedStep([&]() VARN_PROGRAM_THREAD { StopChannel(ch); });
  }
  {
    SettingsBatch batch;
    for (int ch = 0; ch < ChannelCount(); ++ch) TrappedStep([&]() VARN_PROGRAM_THREAD { StoreDisplayChoices(ch); });
  }
  if (monitor_.OutDevice) StopMonitor(monitor_, true);
}

void Engine::LogEndLine() {
  // The archive's last lines (a run's loudness) go before the end line.
  FinishArchives(kArchiveFinishSec);
  s_.log->LogEvent(kEndBanner);
}

void Engine::ApplyMiscSettings() {
  {
    SettingsBatch batch;
    const WaveViewMetrics view{s_.view ? s_.view->WaveformHeightTwips() : 0,
                               s_.view ? s_.view->TwipsPerPixel() : 15};
    misc_ = ReadMiscSettings(*s_.audio, view);
    monitor_.MonDeviceId = misc_.monDeviceId;
    monitor_.BufferDelayMs = misc_.bufferDelayMs;
    for (auto& c : channels_)
      if (c->lane) c->lane->SetLoudnessLog(misc_.loudnessLog);
    ConfigureHooks();
    if (keeping_) keeping_->Configure(ReadKeepingSettings());
  }
  // The loudness view switched off: a meter in LUFS mode goes back to RMS.
  for (int ch = 0; ch < ChannelCount(); ++ch)
    if (!misc_.loudnessView && Rec(ch).analysis.meterTextMode == MeterTextMode::Lufs)
      SetMeterTextMode(ch, static_cast<int32_t>(MeterTextMode::Rms));
}

bool Engine::RestartQueued(int ch) const {
  return ch == restarting_ ||
         std::find(restartQueue_.begin(), restartQueue_.end(), ch) != restartQueue_.end();
}

void Engine::GetMiscSetting() {
  s_.timer->Disarm();
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    ApplyMiscSettings();
    // Each running channel in turn, carried out by the ticks.
    for (int ch = 0; ch < ChannelCount(); ++ch)
      if (Rec(ch).archive.Capturing == 1 && !RestartQueued(ch)) restartQueue_.push_back(ch);
    AdvanceRestarts();
  });
  if (!closed_) s_.timer->Arm(misc_.updateIntervalMs);
}

SettingsReload Engine::ReloadSettings() {
  SettingsReload result;
  result.storedChannelCount = ChannelCount();
  s_.timer->Disarm();
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    const MonitorSettings before = misc_.monitoring;
    std::vector<CaptureKeys> now(channels_.size());
    {
      SettingsBatch batch;
      ApplyMiscSettings();
      result.storedChannelCount = std::clamp(ReadKeyInt("NumRec"), 1, kMaxChannels);
      for (int ch = 0; ch < ChannelCount(); ++ch) {
        Rec(ch).name = ReadKeyText(ChannelKey("ChName_", ch));
        Rec(ch).expectAudio = ReadKeyInt(ChannelKey("ExpectAudio_", ch)) != 0;
        now[static_cast<size_t>(ch)] = ReadCaptureKeys(ch);
      }
    }
    for (int ch = 0; ch < ChannelCount(); ++ch) {
      ChannelRecord& c = Rec(ch);
      // A channel already on its way to a restart starts with the new settings anyway.
      if (c.archive.Capturing != 1 || RestartQueued(ch)) continue;
      // Recording the default device in place of a missing named one, which
      // is no longer allowed: it goes back to waiting for its own.
      const bool fallbackWithdrawn = c.onDefaultDevice && !misc_.deviceFallback;
      if (now[static_cast<size_t>(ch)] != c.formatKeys || fallbackWithdrawn) {
        restartQueue_.push_back(ch);
        result.restarting.push_back(ch);
      } else if (misc_.monitoring != before) {
        c.analysis.ApplySettings(before, misc_.monitoring);
        result.retuned.push_back(ch);
      }
    }
    AdvanceRestarts();
  });
  if (!closed_) s_.timer->Arm(misc_.updateIntervalMs);
  return result;
}

void Engine::AdvanceRestarts() {
  if (restarting_ >= 0) {
    // (Half a millisecond of slack: times of day are sums of doubles.)
    if (RunNow() - restartStopped_ < kRestartPauseSec - 0.0005) return;
    const int ch = restarting_;
    restarting_ = -1;
    // Stopped by hand meanwhile: it stays stopped.
    if (Rec(ch).restartPending) {
      Rec(ch).restartPending = false;
      if (!StartChannel(ch) && s_.unattended) AwaitDevice(ch);
    }
  }
  while (restarting_ < 0 && !restartQueue_.empty()) {
    const int ch = restartQueue_.front();
    restartQueue_.erase(restartQueue_.begin());
    ChannelRecord& c = Rec(ch);
    if (c.archive.Capturing != 1) continue;  // stopped by hand before its turn
    StopChannel(ch);
    c.restartPending = true;
    ButtonLook(ch);
    restarting_ = ch;
    restartStopped_ = RunNow();
  }
}

void Engine::UpdateTraceScales() {
  const WaveViewMetrics view{s_.view ? s_.view->WaveformHeightTwips() : 0,
                             s_.view ? s_.view->TwipsPerPixel() : 15};
  misc_.stereoTraceScale = StereoTraceScale(view, misc_.waveRate);
  misc_.monoTraceScale = 2.0 * misc_.stereoTraceScale;
}

CaptureKeys Engine::ReadCaptureKeys(int ch) const {
  SettingsBatch batch;
  CaptureKeys k;
  k.deviceName = ReadKeyText(ChannelKey("DeviceName_", ch));
  k.recMode = ReadKeyInt(ChannelKey("RecMode_", ch));
  k.recFreq = ReadKeyInt(ChannelKey("RecFreq_", ch));
  k.bitRate = ReadKeyInt(ChannelKey("BitRate_", ch));
  k.bufferSec = ReadKeyInt(ChannelKey("BufferSec_", ch));
  k.recLevelDb = ReadKeyReal(ChannelKey("RecLevelDB_", ch));
  k.arcOn = ReadKeyInt(ChannelKey("ArcOn_", ch));
  return k;
}

void Engine::SetFmt(int ch) {
  ChannelRecord& c = Rec(ch);
  SettingsBatch batch;
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    const CaptureKeys k = ReadCaptureKeys(ch);
    c.formatKeys = k;
    CaptureChannel& cap = c.capture;
    cap.DeviceId = ResolveDeviceName(true, k.deviceName, *s_.audio);
    cap.FormatCode = k.recMode;
    cap.SampleRate = k.recFreq;
    cap.BitRate = mp3Available_ ? k.bitRate : 0;
    cap.BufferSec = k.bufferSec;
    cap.RecLevelDb = k.recLevelDb;
    if (cap.FormatCode == kMono16) c.analysis.stereoMode = StereoMode::MonoLeft;
    c.archive.ArcOn = k.arcOn;
    c.archive.Extension = cap.BitRate != 0 ? ".mp3" : ".wav";
    c.analysis.lowLevel.SizeWindow(cap.SampleRate, misc_.monitoring.minGateSpan);
  });
}

void Engine::SetStereoMode(int ch, int mode) {
  ChannelRecord& c = Rec(ch);
  c.analysis.stereoMode = StereoModeFromInt(mode);
  if (ReadKeyInt(ChannelKey("RecMode_", ch)) == kMono16)
    c.analysis.stereoMode = StereoMode::MonoLeft;
}

void Engine::SetMeterTextMode(int ch, int mode) {
  Rec(ch).analysis.meterTextMode = MeterTextModeFromInt(mode, misc_.loudnessView);
  if (s_.view) s_.view->RedrawMeter(ch);
}

void Engine::RenameChannel(int ch, const std::string& name) {
  if (ch < 0 || ch >= ChannelCount()) return;
  Rec(ch).name = name;
  WriteSetting(ChannelKey("ChName_", ch), name);
}

void Engine::SetFftOffset(int ch, float percent) {
  Rec(ch).fftOffset = std::clamp(percent, 0.0f, 100.0f);
}

LoudnessReadings Engine::Loudness(int ch) const {
  const ChannelRecord& c = Channel(ch);
  return c.lane ? c.lane->Loudness().Read() : LoudnessReadings{};
}

std::optional<double> Engine::LastHourLoudness(int ch) const {
  const ChannelRecord& c = Channel(ch);
  return c.lane ? c.lane->LastHourLufs() : std::nullopt;
}

}  // namespace varn
