#include "engine/headless_runner.h"

#include <chrono>
#include <csignal>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_texts.h"
#include "engine/program_start.h"
#include "engine/systemd_notify.h"
#include "ops/metrics_endpoint.h"
#include "settings/folders.h"
#include "util/text.h"
#include "util/user_notice.h"

namespace varn {

namespace {

using SteadyClock = std::chrono::steady_clock;

volatile std::sig_atomic_t gStopSignal = 0;
volatile std::sig_atomic_t gReloadSignal = 0;
extern "C" void OnStopSignal(int signal) { gStopSignal = signal; }
extern "C" void OnReloadSignal(int) { gReloadSignal = 1; }

// Installs the handlers for the run and puts the old ones back after:
// SIGINT and SIGTERM stop, SIGHUP asks for the settings file to be read
// again (what a service manager's reload sends a daemon).
class RunSignals {
 public:
  RunSignals() {
    gStopSignal = 0;
    gReloadSignal = 0;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &oldInt_);
    sigaction(SIGTERM, &sa, &oldTerm_);
    struct sigaction reload {};
    reload.sa_handler = OnReloadSignal;
    sigemptyset(&reload.sa_mask);
    sigaction(SIGHUP, &reload, &oldHup_);
    // A closed standard output (a pipe whose reader went away) must not end
    // the monitor: the lines still reach the event file.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &oldPipe_);
  }
  ~RunSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
    sigaction(SIGHUP, &oldHup_, nullptr);
    sigaction(SIGPIPE, &oldPipe_, nullptr);
  }
  bool Stopped() const { return gStopSignal != 0; }
  // Whether a reload was asked for since the last call.
  bool TakeReload() {
    if (gReloadSignal == 0) return false;
    gReloadSignal = 0;
    return true;
  }

 private:
  struct sigaction oldInt_ {
  }, oldTerm_{}, oldHup_{}, oldPipe_{};
};

// The update timer as a deadline the loop sleeps towards.
class DeadlineTimer final : public TickTimer {
 public:
  void Arm(int milliseconds) override {
    armed_ = true;
    due_ = SteadyClock::now() + std::chrono::milliseconds(milliseconds);
  }
  void Disarm() override { armed_ = false; }
  bool Armed() const { return armed_; }
  SteadyClock::time_point Due() const { return due_; }

 private:
  bool armed_ = false;
  SteadyClock::time_point due_{};
};

// What the window would show in a message box: standard error and the
// diagnostics file.
class HeadlessNotice final : public UserNotice {
 public:
  explicit HeadlessNotice(std::ostream& err) : err_(err) { SetActiveNotice(this); }
  ~HeadlessNotice() override { SetActiveNotice(nullptr); }
  void Show(std::string_view text, std::string_view title, NoticeIcon) override {
    err_ << title << ": " << text << std::endl;
    WriteLogLine(text, true);
  }

 private:
  std::ostream& err_;
};

std::string ChannelList(const std::vector<int>& channels) {
  std::string text;
  for (const int ch : channels) text += (text.empty() ? "ch" : ", ch") + std::to_string(ch + 1);
  return text;
}

// Reads the settings file again and says what that did, on standard error
// (the service's journal) and in the diagnostics file.
void ReloadAndReport(Engine& engine, const SettingsStore& store,
                     std::ostream& err) VARN_PROGRAM_THREAD {
  // The file as it is now, before the reload reads it (and writes defaults).
  std::vector<std::string> lines = SettingsProblemLines(store);
  const SettingsReload reload = engine.ReloadSettings();
  std::string line = "Settings reloaded: ";
  if (reload.restarting.empty())
    line += "no channel restarts";
  else
    line += ChannelList(reload.restarting) +
            (reload.restarting.size() == 1 ? " restarts" : " restart") +
            " with changed capture settings";
  if (!reload.retuned.empty())
    line += "; new monitoring settings for " + ChannelList(reload.retuned);
  lines.push_back(line);
  if (reload.storedChannelCount != engine.ChannelCount())
    lines.push_back("NumRec is " + std::to_string(reload.storedChannelCount) +
                    " in the settings file; the monitor keeps its " +
                    std::to_string(engine.ChannelCount()) + " channels until it starts again");
  for (const std::string& l : lines) {
    err << "varn: " << l << std::endl;
    WriteLogLine(l, true);
  }
}

}  // namespace

int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
  // This thread is the program's: it owns the engine and every decision.
  ThreadRoleScope programThread(gProgramThreadRole);
  const auto launched = SteadyClock::now();
  ProgramStart start;
  if (!start.Begin(options.appFolder)) {
    err << "varn: " << start.Message() << "\n";
    return kExitAlreadyRunning;
  }
  if (!start.Message().empty()) err << "varn: " << start.Message() << "\n";

  start.ReportSettingsProblems(err);
  if (!start.DataFolderOk()) {
    err << "varn: " << kDataFolderFailedText << ": " << start.DataFolderFailure() << std::endl;
    for (const std::string& line : start.Finish(kLastLinesSec, true))
      err << "varn: " << line << std::endl;
    return kExitDataFolderFailed;
  }

  RunSignals signals;
  ProgramServices& program = start.Program();
  HeadlessNotice notice(err);
  start.OpenAudio(options.audio);
  err << "varn: " << start.AudioNote() << std::endl;
  program.Log().SetEcho([&out](std::string_view line) { out << line << std::endl; });

  DeadlineTimer timer;
  SystemdNotifier systemd;
  EngineServices services;
  services.observer = systemd.Active() ? &systemd : nullptr;
  services.audio = &start.Audio();
  services.clock = &program.GetClock();
  services.log = &program.Log();
  services.timer = &timer;
  services.dataFolder = program.DataFolder();
  services.uncleanEnd = start.UncleanEnd();
  services.runMarker = start.RunMarker();
  services.unattended = true;
  std::string fatal;
  std::unique_ptr<MetricsEndpoint> metrics =
      MetricsEndpoint::Start(options.metricsListen, program.Log(), &err, &fatal);
  if (!fatal.empty()) {
    program.Log().SetEcho(nullptr);
    for (const std::string& line : start.Finish(kLastLinesSec, true))
      err << "varn: " << line << std::endl;
    return kExitBadListener;
  }
  TickObservers observers;
  observers.Add(services.observer);
  if (metrics) observers.Add(metrics->Observer());
  services.observer = observers.Get();
  {
    Engine engine(services);
    engine.Build();
    // Without an operator at hand, a channel whose device cannot start now
    // is tried again until it can.
    engine.BeginRunning(true);
    for (int ch = 0; ch < engine.ChannelCount(); ++ch) engine.AwaitDevice(ch);
    systemd.Ready(engine);

    const auto end = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                              std::chrono::duration<double>(options.durationSec));
    double firstTickMs = -1.0;
    while (!signals.Stopped()) {
      if (signals.TakeReload()) ReloadAndReport(engine, program.Store(), err);
      const auto now = SteadyClock::now();
      if (options.durationSec > 0 && now >= end) break;
      if (timer.Armed() && now >= timer.Due()) {
        if (firstTickMs < 0)
          firstTickMs = std::chrono::duration<double, std::milli>(now - launched).count();
        engine.Tick();
        continue;
      }
      auto wake = timer.Armed() ? timer.Due() : now + std::chrono::milliseconds(10);
      if (options.durationSec > 0 && end < wake) wake = end;
      std::this_thread::sleep_until(wake);
    }
    systemd.Stopping();
    engine.CloseChannels();
    // A disk that does not answer must not keep the program from ending:
    // what could not be written is named instead.
    for (const std::string& line : engine.FinishArchives(kArchiveFinishSec))
      err << "varn: " << line << std::endl;
    engine.LogEndLine();
    const TickStats& stats = engine.Stats();
    uint64_t lost = 0;
    for (int ch = 0; ch < engine.ChannelCount(); ++ch)
      lost += engine.Channel(ch).capture.LostFrames;
    err << "varn: " << stats.ticks << " ticks, mean " << FormatFixed(stats.MeanMs(), 3)
        << " ms, longest " << FormatFixed(stats.longestMs, 3) << " ms; first tick "
        << FormatFixed(firstTickMs, 1) << " ms after start; " << lost << " frames lost to overruns"
        << std::endl;
  }
  metrics.reset();
  program.Log().SetEcho(nullptr);
  for (const std::string& line : start.Finish(kLastLinesSec, true))
    err << "varn: " << line << std::endl;
  return 0;
}

}  // namespace varn
