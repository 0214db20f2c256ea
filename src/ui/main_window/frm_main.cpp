#include "ui/main_window/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <iostream>

#include "engine/engine_texts.h"
#include "settings/folders.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "settings/window_placement.h"
#include "ui/display/paint_style.h"
#include "ui/fonts/font_cache.h"
#include "ui/fonts/language_setup.h"
#include "ui/fonts/ui_font.h"
#include "ui/main_window/channel_panel.h"
#include "ui/twips.h"
#include "util/error_catch.h"
#include "util/run_program.h"
#include "util/user_notice.h"

namespace varn {

namespace {
// The smallest client area that holds the panels, twips.
constexpr int kMinClientTwips = 5000;
constexpr int kStartTimerMs = 10;

WindowState StateOf(const QWidget& w) {
  if (w.isMinimized()) return WindowState::Minimised;
  if (w.isMaximized()) return WindowState::Maximised;
  return WindowState::Normal;
}
}  // namespace

FrmMain::FrmMain(ProgramStart& start, QWidget* parent) : QWidget(parent), start_(start) {
  askText = [this](const QString& prompt, const QString& title,
                   const QString& proposal) -> std::optional<QString> {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(this, title, prompt, QLineEdit::Normal, proposal, &ok);
    if (!ok) return std::nullopt;
    return answer;
  };
  openFolder = [](const std::string& folder) { RunProgram("xdg-open", folder, 1); };
  loudnessOf = [this](int ch) { return engine_ ? engine_->Loudness(ch) : LoudnessReadings{}; };
  startTimer_.setSingleShot(true);
  connect(&startTimer_, &QTimer::timeout, this, [this] { TimerStart(); });
  resize(1280, 800);
}

FrmMain::~FrmMain() {
  DropLogWindow(false);  // the event log must not keep a window that is gone
  engine_.reset();       // devices go before the panels they draw into
  panels_.clear();
}

bool FrmMain::FormLoad() {
  TrappedStep([&] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    SetTwipsPerPixel(TwipsPerPixelForDpi(screen ? screen->logicalDotsPerInchX() : 96.0));
  });
  TrappedStep([&] {
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), static_cast<int>(kAppTitle.size())) + " - " +
                   QString::fromUtf8(kCompanyName.data(), static_cast<int>(kCompanyName.size())));
  });
  TrappedStep([&] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1600, 1000);
    resize(std::min(width(), avail.width()), std::min(height(), avail.height()));
    const int p = ::varn::TwipsPerPixel();
    WindowGeometry current{x() * p, y() * p, static_cast<float>(width() * p),
                           static_cast<float>(height() * p), WindowState::Normal};
    const WindowGeometry g =
        RestoreWindowPlacement(current, "", ScreenExtent{avail.width() * p, avail.height() * p});
    move(g.left / p, g.top / p);
    resize(std::max(1, static_cast<int>(g.width) / p), std::max(1, static_cast<int>(g.height) / p));
    if (g.state == WindowState::Maximised) setWindowState(Qt::WindowMaximized);
  });
  TrappedStep([] { CheckLanguageSetup(); });
  TrappedStep([&] {
    ChooseUiFont();
    SetWindowFont(this);
  });
  const int p = ::varn::TwipsPerPixel();
  if (width() * p < kMinClientTwips || height() * p < kMinClientTwips) {
    ShowNotice(kScreenTooSmallText, kAppTitle, NoticeIcon::Error);
    return false;
  }
  startTimer_.start(kStartTimerMs);
  return true;
}

void FrmMain::TimerStart() {
  startTimer_.stop();
  // The operator can still choose another folder in the settings and
  // start again; the reason tells a typo from a permission.
  if (!start_.DataFolderOk()) {
    std::string text(kDataFolderFailedText);
    text.append("\n").append(start_.DataFolderFailure());
    ShowNotice(text, kAppTitle, NoticeIcon::Error);
  }

  tickTimer_ = std::make_unique<QtTickTimer>([this] {
    if (!engine_) return;
    // A frame that falls due inside the tick is shown right after it.
    pacer_.Hold();
    engine_->Tick();
    UpdateAlarms();
    pacer_.Release();
  });
  EngineServices services;
  services.audio = &start_.Audio();
  services.clock = &start_.Program().GetClock();
  services.log = &start_.Program().Log();
  services.timer = tickTimer_.get();
  services.view = this;
  if (systemd_.Active()) observers_.Add(&systemd_);
  observers_.Add(metricsObserver_);
  services.observer = observers_.Get();
  services.dataFolder = start_.Program().DataFolder();
  services.uncleanEnd = start_.UncleanEnd();
  services.runMarker = start_.RunMarker();
  engine_ = std::make_unique<Engine>(services);
  engine_->Build();

  BuildMenuButtons();
  BuildPanels();
  engine_->UpdateTraceScales();
  for (int ch = 0; ch < PanelCount(); ++ch)
    SetMeterTextMode(ch, static_cast<int>(engine_->Channel(ch).analysis.meterTextMode));
  update();
  started_ = true;
  CentreContainer();
  CreateLogWindow();  // before the first channel starts, so it sees every line
  engine_->BeginRunning(engine_->Panels().showRecButton == 0);
  systemd_.Ready(*engine_);
}

void FrmMain::BuildMenuButtons() {
  const int p = ::varn::TwipsPerPixel();
  int x = kPanelMarginPixels / 2;
  for (int i = 0; i < 5; ++i) {
    auto* b = new QPushButton(QString::fromUtf8(kMenuCaptions[i]), this);
    QFont f = b->font();
    f.setPointSizeF(9);
    b->setFont(f);
    const int w = std::max(b->sizeHint().width() + 12, 1200 / p);
    b->setGeometry(x, 8, w, 30);
    x += w + 4;
    connect(b, &QPushButton::clicked, this, [this, i] { MenuButtonClicked(i); });
    b->show();
    menuButtons_[static_cast<size_t>(i)] = b;
  }
}

void FrmMain::BuildPanels() {
  const int p = ::varn::TwipsPerPixel();
  const PanelSettings& s = engine_->Panels();
  PanelLayoutInput in;
  in.clientWidth = width() * p;
  in.clientHeight = height() * p;
  in.twipsPerPixel = p;
  in.channels = engine_->ChannelCount();
  in.maxNumX = s.maxNumX;
  in.showRecButton = s.showRecButton != 0;
  in.showLevelValues = s.showLevelValues != 0;
  layout_ = LayoutPanels(in);

  container_ = new QWidget(this);
  PlaceInTwips(container_, layout_.all);
  container_->show();
  PanelOptions options;
  options.showRecButton = in.showRecButton;
  options.showLevelValues = in.showLevelValues;
  options.showChName = s.showChName != 0;
  options.fontFamily = UiFontName();
  options.redPoint = ReadKeyReal("VULevelTrim");
  options.pacer = &pacer_;
  alarms_.assign(static_cast<size_t>(engine_->ChannelCount()), PanelAlarm{});
  alarmView_ = ReadKeyInt("AlarmView") != 0;
  for (int ch = 0; ch < engine_->ChannelCount(); ++ch) {
    const ChannelRecord& c = engine_->Channel(ch);
    options.stereo = c.analysis.stereoMode == StereoMode::Stereo;
    auto panel = std::make_unique<ChannelPanel>(
        ch, container_, layout_.panels[static_cast<size_t>(ch)], layout_, options);
    panel->Name()->ShowName(QString::fromStdString(c.name));
    panel->PlaceMarker(c.fftOffset);
    panel->ShowIdleViews(c.capture.SampleRate, c.fftOffset);
    panel->Buttons()->onButtonClicked = [this](int channel, int button) {
      RecButtonClicked(channel, button, 0);
    };
    panel->Buttons()->onShiftClicked = [this](int channel, int button, int shift) {
      RecButtonClicked(channel, button, shift);
    };
    panel->Name()->onRelease = [this, ch] { RenameChannel(ch); };
    panel->Meter()->onRelease = [this, ch](const PointerEvent& e) { MeterReleased(ch, e); };
    panel->Meter()->onMove = [this, ch](const PointerEvent&) { ClearFrequencyReadout(ch); };
    panel->Wave()->onMove = [this, ch](const PointerEvent&) { ClearFrequencyReadout(ch); };
    panel->Wave()->onRelease = [this, ch](const PointerEvent& e) {
      if (e.button == Qt::LeftButton) AcknowledgeAlarm(ch);
    };
    panel->Spectrum()->onMove = [this, ch](const PointerEvent& e) {
      SpectrumPointerMoved(ch, e.xTwips);
    };
    panel->Marker()->onDrag = [this, ch](int y) { MarkerDragged(ch, y); };
    panels_.push_back(std::move(panel));
  }
}

void FrmMain::CentreContainer() {
  if (!started_ || !container_) return;
  TrappedStep([&] {
    const int x = std::max(0, (width() - container_->width()) / 2);
    container_->move(x, container_->y());
    update();
  });
}

void FrmMain::resizeEvent(QResizeEvent*) { CentreContainer(); }

void FrmMain::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TrappedStep([&] {
    PaintStyle(painter, rect(), -2);
    PaintStyle(painter, rect(), 14);  // the textured grey behind every panel
  });
}

void FrmMain::StoreAndStop() {
  systemd_.Stopping();
  if (engine_) engine_->CloseChannels();
}

bool FrmMain::QueryUnload(UnloadMode mode) {
  if (closing_) return true;
  const bool always = mode == UnloadMode::SessionEnd || mode == UnloadMode::TaskManager;
  if (!always && isMinimized()) return false;
  closing_ = true;
  TrappedStep([&] { StoreAndStop(); });
  return true;
}

void FrmMain::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  TrappedStep([&] {
    const int p = ::varn::TwipsPerPixel();
    const QRect g = geometry();
    SaveWindowPlacement(WindowGeometry{g.x() * p, g.y() * p, static_cast<float>(g.width() * p),
                                       static_cast<float>(g.height() * p), StateOf(*this)},
                        "");
  });
  TrappedStep([&] {
    // A disk that does not answer must not keep the window from closing.
    if (engine_)
      for (const std::string& line : engine_->FinishArchives(kArchiveFinishSec))
        std::cerr << "varn: " << line << std::endl;
  });
  TrappedStep([&] {
    if (engine_)
      engine_->LogEndLine();
    else
      start_.Program().Log().LogEvent(kEndBanner);
  });
  TrappedStep([&] { DropLogWindow(true); });
}

void FrmMain::CloseForSessionEnd() {
  QueryUnload(UnloadMode::SessionEnd);
  Unload();
  QCoreApplication::quit();
}

void FrmMain::closeEvent(QCloseEvent* event) {
  if (!QueryUnload(UnloadMode::FormControlMenu)) {
    event->ignore();
    return;
  }
  Unload();
  event->accept();
}

int FrmMain::WaveformHeightTwips() const {
  if (panels_.empty()) return 0;
  return panels_.front()->Wave()->height() * ::varn::TwipsPerPixel();
}

int FrmMain::TwipsPerPixel() const { return ::varn::TwipsPerPixel(); }

}  // namespace varn
