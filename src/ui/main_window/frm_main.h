#pragma once
// The main window: the menu buttons, one panel per channel, and the engine
// it owns and shows. It builds itself in two stages as the program always
// has: form load (switches, fonts, placement, the size check), then a
// one-shot start timer that reads the channels, lays out the panels and
// starts the update cycle.

#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/level_meter.h"
#include "engine/engine.h"
#include "engine/engine_view.h"
#include "engine/program_start.h"
#include "engine/systemd_notify.h"
#include "ui/main_window/image_view.h"
#include "ui/main_window/panel_alarm.h"
#include "ui/main_window/panel_geometry.h"
#include "ui/main_window/qt_tick_timer.h"
#include "ui/main_window/repaint_pacer.h"

class QMenu;

namespace varn {

class ChannelPanel;
class FrmLog;

inline constexpr const char* kMenuCaptions[5] = {"基本設定", "オーディオ設定", "監査設定", "ログ",
                                                 "データ"};
inline constexpr const char* kStereoMenuItems[4] = {"ステレオ(L+R)", "モノラル(L+R)", "モノラル(L)",
                                                    "モノラル(R)"};
inline constexpr const char* kScreenTooSmallText = "画面が小さすぎます";
inline constexpr const char* kRenamePrompt = "系統名";

// How the window was asked to close.
enum class UnloadMode { FormControlMenu = 0, Code = 1, SessionEnd = 2, TaskManager = 3 };

class FrmMain : public QWidget, public EngineView {
 public:
  explicit FrmMain(ProgramStart& start, QWidget* parent = nullptr);
  ~FrmMain() override;

  // Form load, in order. False when the window is too small to hold the
  // panels: nothing starts then, and the window stays empty.
  bool FormLoad();
  // The start timer's work; runs once, 10 ms after form load.
  void TimerStart();
  bool StartedFlag() const { return started_; }

  // Query unload: true when the close may go ahead. A minimised window
  // refuses an ordinary close; a session end or a kill always goes ahead
  // and stops the channels first.
  bool QueryUnload(UnloadMode mode);
  // Stores the placement and writes the end line.
  void Unload();
  // The session-end close (SIGTERM, SIGINT, SIGHUP, logout).
  void CloseForSessionEnd();

  Engine* GetEngine() { return engine_.get(); }
  // Told by the engine after systemd's notifier (the metrics endpoint); it
  // must outlive the window.
  void SetMetricsObserver(TickObserver* observer) { metricsObserver_ = observer; }
  ChannelPanel& Panel(int ch) { return *panels_.at(static_cast<size_t>(ch)); }
  int PanelCount() const { return static_cast<int>(panels_.size()); }
  const PanelLayout& Layout() const { return layout_; }
  float PanelScale() const { return layout_.panelScale; }
  QPushButton* MenuButton(int i) { return menuButtons_.at(static_cast<size_t>(i)); }

  // Commands, as the pointer and the buttons give them.
  void MenuButtonClicked(int button);
  void RecButtonClicked(int ch, int button, int shiftState);
  void RenameChannel(int ch);
  void MeterReleased(int ch, const PointerEvent& pointer);
  void StereoMenuChosen(int index);
  int StereoMenuChannel() const { return stereoMenuChannel_; }
  QMenu* StereoMenu() { return stereoMenu_; }
  void MarkerDragged(int ch, int pointerYTwips);
  void SpectrumPointerMoved(int ch, int xTwips);
  void ClearFrequencyReadout(int ch);
  // The frequency under x (twips) on the spectrum's logarithmic axis: 10 Hz
  // at the left edge to half the rate at the width of channel 0's scale.
  float FreqAtX(int xTwips, int sampleRate) const;
  void SetMeterTextMode(int ch, int mode);
  // A click on a panel's waveform: its latched alarm frame is seen.
  void AcknowledgeAlarm(int ch);
  // Every panel's alarm look from its line's conditions now (after each
  // tick); a panel is redrawn only when its look changed.
  void UpdateAlarms();
  // AlarmView again from the settings (at the start and after 基本設定).
  void ReadAlarmView();
  bool AlarmView() const { return alarmView_; }
  // The log window's command: show, hide or restore it, or load it afresh.
  void ToggleLogWindow();
  // The log window while it is loaded, else nullptr.
  FrmLog* LogWindow() const;

  // The rename box: returns the answer, or nothing when cancelled. Tests
  // replace it.
  std::function<std::optional<QString>(const QString& prompt, const QString& title,
                                       const QString& proposal)>
      askText;
  // Opens the data folder in the file browser. Tests replace it.
  std::function<void(const std::string& folder)> openFolder;
  // A channel's loudness for its meter in LUFS mode: the engine's
  // readings. Tests replace it.
  std::function<LoudnessReadings(int ch)> loudnessOf;

  // EngineView.
  void DrawMeter(int ch, std::span<const VuBarValues> bars) override;
  void SetLevelFigure(int ch, int cell, std::string_view text) override;
  void RedrawLevelFigures(int ch) override;
  void DrawSpectrum(int ch, std::span<const double> averaged,
                    std::span<const double> hold) override;
  void DrawWaveform(int ch, std::span<const Frame> block) override;
  void ResetViews(int ch) override;
  void SetMonitorLook(int ch, bool monitoring) override;
  void SetRecordButton(int ch, bool on) override;
  void SetBusy(bool busy) override;
  void RedrawMeter(int ch) override;
  void ChannelStarted(int ch) override;
  int WaveformHeightTwips() const override;
  int TwipsPerPixel() const override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void BuildMenuButtons();
  void BuildPanels();
  void CentreContainer();
  void StoreAndStop();
  // Loads the log window hidden and makes it the event log's sink.
  void CreateLogWindow();
  // Unloads it (widths and placement stored when `store`) and drops it.
  void DropLogWindow(bool store);

  ProgramStart& start_;
  RepaintPacer pacer_;  // before the panels, which mark their changes with it
  std::unique_ptr<QtTickTimer> tickTimer_;
  SystemdNotifier systemd_;  // when started as a Type=notify service
  TickObserver* metricsObserver_ = nullptr;
  TickObservers observers_;  // the two above, as the engine's one observer
  std::unique_ptr<Engine> engine_;
  QTimer startTimer_;
  QWidget* container_ = nullptr;  // every panel sits in it
  std::array<QPushButton*, 5> menuButtons_{};
  std::vector<std::unique_ptr<ChannelPanel>> panels_;
  std::vector<PanelAlarm> alarms_;  // one per panel
  bool alarmView_ = true;           // AlarmView
  PanelLayout layout_;
  QMenu* stereoMenu_ = nullptr;
  FrmLog* logWindow_ = nullptr;  // a child window; dropped before the main window goes
  MeterDrawing loudnessBar_;     // a LUFS meter's bar, made afresh each block
  int stereoMenuChannel_ = -1;
  bool started_ = false;
  bool closing_ = false;
  bool unloaded_ = false;
};

}  // namespace varn
