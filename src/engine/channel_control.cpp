// Channel start and stop, the record-button toggles and the monitor button.

#include <memory>
#include <string>
#include <vector>

#include "audio/capture.h"
#include "engine/device_choice.h"
#include "engine/engine.h"
#include "engine/engine_texts.h"
#include "settings/folders.h"
#include "settings/setting_keys.h"
#include "settings/stream_setting.h"
#include "util/error_catch.h"
#include "util/user_notice.h"

namespace varn {

namespace {

// While a lost device is retried, what capture would show the operator (the
// device's open error) goes to the diagnostics file instead, once per
// distinct text, so a device that stays away does not fill the file.
class DiagnosticsNotice final : public UserNotice {
 public:
  DiagnosticsNotice(int ch, std::vector<std::string>& reported)
      : label_(" ch" + std::to_string(ch + 1)), reported_(reported), previous_(ActiveNotice()) {
    SetActiveNotice(this);
  }
  ~DiagnosticsNotice() override { SetActiveNotice(previous_); }
  void Show(std::string_view text, std::string_view, NoticeIcon) override {
    const std::string line = std::string(text) + label_;
    for (const std::string& r : reported_)
      if (r == line) return;
    reported_.push_back(line);
    WriteLogLine(line, true);
  }

 private:
  std::string label_;
  std::vector<std::string>& reported_;
  UserNotice* previous_;
};

// The busy pointer for as long as a start runs.
class BusyScope {
 public:
  explicit BusyScope(EngineView* view) : view_(view) {
    if (view_) view_->SetBusy(true);
  }
  ~BusyScope() {
    if (view_) view_->SetBusy(false);
  }

 private:
  EngineView* view_;
};

}  // namespace

void Engine::ButtonLook(int ch) {
  const ChannelRecord& c = Rec(ch);
  if (s_.view)
    s_.view->SetRecordButton(ch, c.archive.Capturing == 1 || c.awaitingDevice || c.restartPending);
}

bool Engine::StartChannel(int ch, bool quiet) {
  if (ch < 0 || ch >= ChannelCount()) return false;
  ChannelRecord& c = Rec(ch);
  if (c.archive.Capturing == 1) {
    ButtonLook(ch);
    return true;
  }
  BusyScope busy(s_.view);
  std::unique_ptr<DiagnosticsNotice> redirect;
  if (quiet) redirect = std::make_unique<DiagnosticsNotice>(ch, c.retryNotes);

  SetFmt(ch);
  const std::string stored = ReadKeyText(ChannelKey("DeviceName_", ch));
  // Nothing stands in for a network stream, whatever DeviceFallback says.
  const bool fallback = misc_.deviceFallback && !NamesStream(stored);
  const DeviceChoice choice = c.afterLoss ? ChooseAfterLoss(stored, c.onDefaultDevice, *s_.audio)
                                          : ChooseAtStart(stored, fallback, *s_.audio);
  if (choice.kind == DeviceChoice::Kind::Missing) {
    // Nothing stands in for the line's own device: it waits for it.
    if (!c.missingNoted) {
      c.missingNoted = true;
      s_.log->LogEvent(kInputDeviceFaultText, ch);
      WriteLogLine(std::string(kDeviceMissingText) + std::to_string(ch + 1) + ": \"" +
                       choice.stored + "\" is not among the input devices; waiting for it",
                   true);
    }
    if (!quiet) ShowNotice(kRecordStartFailedText, kAppTitle, NoticeIcon::Error);
    AwaitDevice(ch);
    ButtonLook(ch);
    return false;
  }
  c.capture.DeviceId = choice.deviceId;
  // The free space, before the run's first file grows.
  if (keeping_ && c.archive.ArcOn != 0) keeping_->Request(kSweepSpace, ArchivePending());
  const bool ok = StartCapture(ch, c.capture, c.archive, *s_.audio, c.lane);
  if (ok) {
    // Detector and meter state start afresh, sized for this run's format.
    TrappedStep([&]() VARN_PROGRAM_THREAD {
      c.analysis.Start(AnalysisFormatOf(c.capture), misc_.monitoring);
    });
    c.awaitingDevice = false;
    c.retryNotes.clear();
    c.afterLoss = false;
    c.missingNoted = false;
    c.onDefaultDevice = choice.kind == DeviceChoice::Kind::Fallback;
    c.openedDevice = c.capture.Device ? c.capture.Device->DeviceName() : std::string();
    c.input.Start(RunNow());
    c.lastArrival = RunNow();
    c.fillingBytes = 0;
    c.loss.Start(c.capture.LostFrames + c.lane->LostFrames(), c.capture.Format.samplesPerSec);
    ButtonLook(ch);
    if (s_.view) TrappedStep([&]() VARN_PROGRAM_THREAD { s_.view->ChannelStarted(ch); });
    s_.log->LogEvent(kRecordStartText, ch);
    if (c.onDefaultDevice) {
      s_.log->LogEvent(kDefaultDeviceText, ch);
      WriteLogLine(
          std::string(kDeviceMissingText) + std::to_string(ch + 1) + ": \"" + choice.stored +
              "\" is not among the input devices; recording the default \"" + c.openedDevice + "\"",
          true);
    }
    return true;
  }
  ShowNotice(kRecordStartFailedText, kAppTitle, NoticeIcon::Error);
  ButtonLook(ch);
  return false;
}

void Engine::StopChannel(int ch) {
  if (ch < 0 || ch >= ChannelCount()) return;
  ChannelRecord& c = Rec(ch);
  StopCapture(ch, c.capture, c.archive, c.lane);
  TrappedStep([&]() VARN_PROGRAM_THREAD { EndLossIncident(ch); });
  ButtonLook(ch);
  if (s_.view) TrappedStep([&]() VARN_PROGRAM_THREAD { s_.view->ResetViews(ch); });
  if (monitor_.MonitorChannel == ch)
    varn::SelectMonitorChannel(monitor_, ch, true, c.capture, c.archive, *s_.audio, s_.view);
  s_.log->LogEvent(kRecordStopText, ch);
}

void Engine::ToggleChannels(int ch, int shiftState) {
  if (ch < 0 || ch >= ChannelCount()) return;
  const int first = shiftState == 1 ? 0 : ch;
  const int last = shiftState == 1 ? ChannelCount() - 1 : ch;
  for (int i = first; i <= last; ++i) {
    ChannelRecord& c = Rec(i);
    if (c.archive.Capturing == 1) {
      c.awaitingDevice = false;
      c.afterLoss = false;
      StopChannel(i);
    } else if (c.awaitingDevice || c.restartPending) {
      // Stopped by hand while waiting for its device or its restart: it
      // stays stopped, and a later start by hand is a start like any other.
      c.awaitingDevice = false;
      c.restartPending = false;
      c.afterLoss = false;
      c.missingNoted = false;
      ButtonLook(i);
    } else {
      StartChannel(i);
    }
  }
}

void Engine::SelectMonitorChannel(int ch) {
  if (ch < 0 || ch >= ChannelCount()) return;
  ChannelRecord& c = Rec(ch);
  varn::SelectMonitorChannel(monitor_, ch, false, c.capture, c.archive, *s_.audio, s_.view);
}

void Engine::StopMonitoring() {
  const int ch = monitor_.MonitorChannel;
  if (ch < 0) return;
  if (s_.view) s_.view->SetMonitorLook(ch, false);
  monitor_.MonitorChannel = -1;
  StopMonitor(monitor_, true);
}

void Engine::HandleDeviceLoss(int ch) {
  ChannelRecord& c = Rec(ch);
  s_.log->LogEvent(kInputDeviceFaultText, ch);
  StopChannel(ch);
  c.retryNotes.clear();
  // From now on only the line's own device may take its place.
  c.afterLoss = true;
  c.missingNoted = true;  // the fault is in the event file already
  AwaitDevice(ch);
}

void Engine::AwaitDevice(int ch) {
  if (ch < 0 || ch >= ChannelCount()) return;
  ChannelRecord& c = Rec(ch);
  if (c.archive.Capturing == 1 || c.awaitingDevice) return;
  c.awaitingDevice = true;
  c.lastAttempt = RunNow();
  ButtonLook(ch);
}

void Engine::RetryLostDevices() {
  for (int ch = 0; ch < ChannelCount(); ++ch) {
    ChannelRecord& c = Rec(ch);
    if (!c.awaitingDevice || c.archive.Capturing == 1) continue;
    if (RunNow() - c.lastAttempt < kDeviceRetrySec) continue;
    c.lastAttempt = RunNow();
    StartChannel(ch, true);
  }
}

}  // namespace varn
