// The main window's side of the log window: loaded hidden at start-up as the
// event log's sink, shown and hidden by the log command, unloaded with the
// main window.

#include "ui/log_window/frm_log.h"
#include "ui/main_window/frm_main.h"
#include "util/error_catch.h"

namespace varn {

FrmLog* FrmMain::LogWindow() const { return logWindow_; }

void FrmMain::CreateLogWindow() {
  if (logWindow_) return;
  TrappedStep([&] {
    logWindow_ = new FrmLog(this);
    logWindow_->FormLoad();
    start_.Program().Log().SetSink(logWindow_);
  });
}

void FrmMain::DropLogWindow(bool store) {
  if (!logWindow_) return;
  start_.Program().Log().SetSink(nullptr);
  if (store) logWindow_->FormUnload();
  delete logWindow_;
  logWindow_ = nullptr;
}

void FrmMain::ToggleLogWindow() {
  // A window unloaded by a close of its own is not shown again: a fresh one
  // (with an empty list) takes its place.
  if (logWindow_ && !logWindow_->Loaded()) DropLogWindow(false);
  if (!logWindow_) CreateLogWindow();
  if (logWindow_) ShowOrHideLog(*logWindow_);
}

}  // namespace varn
