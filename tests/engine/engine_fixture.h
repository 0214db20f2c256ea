#pragma once
// An engine on virtual devices driven by hand, a clock the test sets, a
// settings file of the test's own and a view that remembers what it was told.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/sim/sim_service.h"
#include "engine/engine.h"
#include "settings/folders.h"
#include "settings/settings_store.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "util/clock.h"
#include "util/user_notice.h"

namespace varn::test {

// Device numbers of the virtual inputs.
inline constexpr int kToneDevice = 0;
inline constexpr int kProgrammeDevice = 2;
inline constexpr int kSilenceDevice = 3;
inline constexpr int kRampDevice = 4;

class EngineRecordingView final : public EngineView {
 public:
  void SetRecordButton(int ch, bool on) override { recordButton[ch] = on; }
  void SetMonitorLook(int ch, bool on) override { monitorButton[ch] = on; }
  void ResetViews(int ch) override { resets.push_back(ch); }
  void DrawMeter(int ch, std::span<const VuBarValues>) override {
    ++meters[ch];
    if (onMeter) onMeter(ch);
  }
  std::function<void(int ch)> onMeter;  // runs inside the tick
  std::map<int, bool> recordButton;
  std::map<int, bool> monitorButton;
  std::map<int, int> meters;
  std::vector<int> resets;
};

class Notices final : public UserNotice {
 public:
  Notices() { SetActiveNotice(this); }
  ~Notices() override { SetActiveNotice(nullptr); }
  void Show(std::string_view text, std::string_view, NoticeIcon) override {
    texts.emplace_back(text);
  }
  std::vector<std::string> texts;
};

class EngineFixture : public ::testing::Test {
 protected:
  EngineFixture() { SetAppFolder(dir.Path()); }
  ~EngineFixture() override {
    engine.reset();
    SetActiveStore(nullptr);
  }

  // Devices on their own threads at real-time pace instead of by hand, or
  // another backend altogether.
  void UseRealTimeDevices() {
    otherAudio = std::make_unique<SimWaveService>(SimPace::RealTime);
    archiveThread = true;
  }
  void UseAudio(std::unique_ptr<WaveService> audio) {
    otherAudio = std::move(audio);
    archiveThread = true;
  }

  // Writes varn.ini ("key=value" lines) and builds the engine on it.
  void Build(const std::string& settings) {
    WriteText(dir / "varn.ini", "[conf]\n" + settings);
    store.ChooseAtStartup();
    SetActiveStore(&store);
    EngineServices s;
    s.audio = otherAudio ? otherAudio.get() : &sim;
    s.clock = &clock;
    s.log = &log;
    s.timer = &timer;
    s.archiveThread = archiveThread;
    s.view = &view;
    s.observer = observer;
    s.unattended = unattended;
    s.dataFolder = dir / "data/";
    s.clockSynchronised = [this] { return clockSynchronised; };
    engine = std::make_unique<Engine>(s);
    engine->Build();
  }

  // `frames` more frames on a device, then 10 ms later a tick.
  void Feed(int device, size_t frames) { sim.Produce(device, frames); }
  void TickAfter(double seconds) {
    clock.Advance(seconds);
    engine->Tick();
  }
  // Runs `seconds` of audio on the given devices at `rate`, a tick every 10 ms.
  void Run(double seconds, std::vector<int> devices, int rate) {
    const int steps = static_cast<int>(seconds * 100 + 0.5);
    for (int i = 0; i < steps; ++i) {
      for (int d : devices) Feed(d, static_cast<size_t>(rate / 100));
      TickAfter(0.01);
    }
  }
  std::string Events() const { return ReadText(log.CurrentFilePath(false)); }
  std::string Diagnostics() const { return ReadText(log.CurrentFilePath(true)); }
  int CountEvents(const std::string& text) const;
  // The event file's messages in order (the text after the time columns).
  std::vector<std::string> EventTexts() const;

  TempDir dir;
  ManualClock clock{DateTime{2026, 3, 14, 10, 20, 0, 0}, 9 * 3600};
  SettingsStore store{dir.Path(), dir / "user"};
  LogCapture logScope{clock, dir / "data/"};
  EventLog& log = *ActiveLog();
  SimWaveService sim{SimPace::Manual};
  std::unique_ptr<WaveService> otherAudio;
  PolledTimer timer;
  EngineRecordingView view;
  Notices notices;
  // The archive worker on its own thread, or done by each tick (every block
  // collected is then written by the end of the tick that collected it).
  bool archiveThread = false;
  TickObserver* observer = nullptr;  // set before Build
  std::optional<bool> clockSynchronised = true;  // what the kernel says of the clock
  bool unattended = false;           // set before Build: headless
  std::unique_ptr<Engine> engine;
};

}  // namespace varn::test
