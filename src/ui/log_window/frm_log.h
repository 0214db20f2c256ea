#pragma once
// The log window "ログ": every event line as a row of five columns, newest at
// the top, at most 1024 rows. It lives for the whole run, loaded hidden at
// start-up so no line is missed while nobody looks; its close box only hides
// it. The wheel scrolls the list through the wheel registry, polled by a
// timer, and only while the pointer is over the list.

#include <QTimer>
#include <QWidget>
#include <string>

#include "log/event_log.h"

namespace varn {

class UC_ListView;

inline constexpr const char* kLogCaption = "ログ";
inline constexpr int kLogColumns = 5;
inline constexpr const char* kLogHeaders[kLogColumns] = {"ローカル時", "標準時", "系統", "ch",
                                                         "内容"};
inline constexpr int kMaxLogRows = 1024;
inline constexpr int kLogRowTwips = 255;
inline constexpr int kWheelPollMs = 10;
// Column widths are stored as this stem and the column number 1 to 5.
inline constexpr const char* kLogTabWidthStem = "TabWidth_LV_";
inline constexpr const char* kLogPlacementPrefix = "Log";
// The list's margin on all four sides, twips.
inline constexpr int kLogListMarginTwips = 90;

class FrmLog : public QWidget, public LogSink {
 public:
  // A top-level window owned by `owner` (it stays with it and goes with it).
  explicit FrmLog(QWidget* owner);
  ~FrmLog() override;

  // Loading: placement, list, column widths, the wheel timer. The window
  // stays hidden.
  void FormLoad();
  // Stores column widths and placement, stops the timer and the wheel
  // registration. The owner then drops the window.
  void FormUnload();
  bool Loaded() const { return loaded_; }

  // One event line at the top of the list; the oldest goes beyond 1024.
  void AddLine(const std::string& localTime, const std::string& utcTime, const std::string& channel,
               const std::string& side, const std::string& message) override;

  // Query unload: a close by the user (the close box) hides the window and
  // is refused; any other close goes ahead. False when refused.
  bool QueryUnload(bool byUser);

  // One poll of the wheel timer.
  void TimerWheelTimer();
  // Fits the list to the window, unless minimised or not yet loaded.
  void FormResize();

  UC_ListView& LV() { return *lv_; }
  QTimer& TimerWheel() { return timerWheel_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  UC_ListView* lv_;
  QTimer timerWheel_;
  bool loaded_ = false;
  bool resizeReady_ = false;
};

// The main window's log command: a visible window is restored when
// minimised and hidden otherwise; a hidden one is shown (and restored).
void ShowOrHideLog(FrmLog& log);

}  // namespace varn
