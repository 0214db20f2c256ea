#include "ui/log_window/frm_log.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "settings/setting_value.h"
#include "settings/settings_store.h"
#include "settings/window_placement.h"
#include "ui/controls/uc_list_view.h"
#include "ui/display/paint_style.h"
#include "ui/fonts/font_cache.h"
#include "ui/fonts/language_setup.h"
#include "ui/log_window/log_column_widths.h"
#include "ui/services/pointer_over.h"
#include "ui/services/wheel_registry.h"
#include "ui/twips.h"
#include "util/error_catch.h"

namespace varn {

namespace {

// The window background, as the settings dialogs have it.
constexpr int kBackgroundStyle = 14;

std::string WidthKey(int column) { return kLogTabWidthStem + std::to_string(column + 1); }

ScreenExtent ScreenTwips() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1600, 1000);
  return {PixelsToTwips(avail.width()), PixelsToTwips(avail.height())};
}

}  // namespace

FrmLog::FrmLog(QWidget* owner) : QWidget(owner, Qt::Window), lv_(new UC_ListView(this)) {
  timerWheel_.setInterval(kWheelPollMs);
  connect(&timerWheel_, &QTimer::timeout, this, [this] { TimerWheelTimer(); });
  const QSize first = FirstLogWindowSize();
  resize(first);
  // A first opening sits over the owner, not in a corner of the screen.
  if (owner) move(owner->geometry().center() - QPoint(first.width(), first.height()) / 2);
}

FrmLog::~FrmLog() { UnsubclassWindow(this); }

void FrmLog::FormLoad() {
  loaded_ = true;
  TrappedStep([&] {
    if (parentWidget()) setWindowIcon(parentWidget()->windowIcon());
  });
  TrappedStep([&] {
    if (NeedsUiFont() != 0) SetWindowFont(this);
  });
  // Registered whatever the error switch: the hazard of subclassing under a
  // debugger that made it conditional does not exist here.
  TrappedStep([&] { SubclassWindow(this); });
  TrappedStep([&] {
    const int p = TwipsPerPixel();
    const WindowGeometry current{x() * p, y() * p, static_cast<float>(width() * p),
                                 static_cast<float>(height() * p), WindowState::Normal};
    const WindowGeometry g = RestoreWindowPlacement(current, kLogPlacementPrefix, ScreenTwips());
    move(g.left / p, g.top / p);
    resize(std::max(1, static_cast<int>(g.width) / p), std::max(1, static_cast<int>(g.height) / p));
    if (g.state == WindowState::Maximised) setWindowState(Qt::WindowMaximized);
  });
  setWindowTitle(QString::fromUtf8(kLogCaption));
  TrappedStep([&] {
    lv_->SetUseUCBar(1);
    lv_->SetNumData(kLogColumns);
    lv_->SetOneHeight(kLogRowTwips);
    lv_->SetIconDisabled(true);
    lv_->SetSortDisabled(true);
    lv_->Init();
    lv_->InitTab();
    lv_->SetLeft(kLogListMarginTwips);
    lv_->SetTop(kLogListMarginTwips);
    for (int c = 0; c < kLogColumns; ++c) lv_->SetTabName(c, QString::fromUtf8(kLogHeaders[c]));
    // Unset widths fit their column's texts rather than the catalogue's 900
    // twips, which cut a time stamp to its date on a first run.
    for (int c = 0; c < lv_->NumData(); ++c)
      lv_->SetTabWidth(c, ReadIntSetting(WidthKey(c), DefaultLogColumnWidth(c)));
    lv_->ReDrawTab(-1);
  });
  loaded_ = true;
  resizeReady_ = true;
  FormResize();
  timerWheel_.start();
}

void FrmLog::FormUnload() {
  if (!loaded_) return;
  timerWheel_.stop();
  TrappedStep([&] {
    for (int c = 0; c < lv_->NumData(); ++c)
      WriteSetting(WidthKey(c), static_cast<float>(lv_->TabWidth(c) / 1.0));
  });
  TrappedStep([&] {
    const int p = TwipsPerPixel();
    const QRect g = geometry();
    WindowState state = WindowState::Normal;
    if (isMinimized()) state = WindowState::Minimised;
    if (isMaximized()) state = WindowState::Maximised;
    PlacementSkips skip;
    skip.state = true;
    SaveWindowPlacement(WindowGeometry{g.x() * p, g.y() * p, static_cast<float>(g.width() * p),
                                       static_cast<float>(g.height() * p), state},
                        kLogPlacementPrefix, skip);
  });
  UnsubclassWindow(this);
  loaded_ = false;
  resizeReady_ = false;
}

void FrmLog::AddLine(const std::string& localTime, const std::string& utcTime,
                     const std::string& channel, const std::string& side,
                     const std::string& message) {
  if (!loaded_) return;
  TrappedStep([&] {
    if (lv_->ItemCount() > kMaxLogRows - 1) lv_->DeleteItem(kMaxLogRows - 1);
    lv_->InsertItem(0, 1);
    const std::string* fields[kLogColumns] = {&localTime, &utcTime, &channel, &side, &message};
    for (int c = 0; c < kLogColumns; ++c) lv_->SetValue(0, c, QString::fromStdString(*fields[c]));
    lv_->Refresh();  // the newest line comes into view
  });
}

void FrmLog::TimerWheelTimer() {
  TrappedStep([&] {
    const int notch = TakeWheel(this);
    // A notch with the pointer elsewhere on the window is dropped.
    if (notch == 0 || !IsPointerOver(lv_)) return;
    lv_->VBarScroll(notch);
    lv_->ReDraw();
  });
}

void FrmLog::FormResize() {
  if (isMinimized() || !resizeReady_) return;
  TrappedStep([&] {
    // The list's left offset is the margin on every side.
    const int margin = lv_->Left();
    lv_->SetWidth(std::max(0, PixelsToTwips(width()) - 2 * margin));
    lv_->SetHeight(std::max(0, PixelsToTwips(height()) - 2 * margin));
    lv_->Refresh();
    update();
  });
}

void FrmLog::resizeEvent(QResizeEvent*) { FormResize(); }

void FrmLog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TrappedStep([&] {
    PaintStyle(painter, rect(), -2);
    PaintStyle(painter, rect(), kBackgroundStyle);
  });
}

bool FrmLog::QueryUnload(bool byUser) {
  // The user's close box only hides the window; its rows stay.
  if (byUser && loaded_) {
    hide();
    return false;
  }
  return true;
}

void FrmLog::closeEvent(QCloseEvent* event) {
  // Only the window system's close (close box, system menu) is spontaneous.
  if (!QueryUnload(event->spontaneous())) {
    event->ignore();
    return;
  }
  FormUnload();
  event->accept();
}

void ShowOrHideLog(FrmLog& log) {
  if (log.isVisible()) {
    if (log.isMinimized())
      log.showNormal();
    else
      log.hide();
    return;
  }
  log.show();
  if (log.isMinimized()) log.showNormal();
  log.raise();
  log.activateWindow();
}

}  // namespace varn
