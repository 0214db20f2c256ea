// The main window's commands: the menu buttons, the record buttons, the
// rename box, meter clicks and the stereo menu, the spectrum marker and the
// frequency read-out.

#include <QApplication>
#include <QMenu>
#include <algorithm>

#include "analysis/level_math.h"
#include "settings/folders.h"
#include "settings/setting_check.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "ui/dialogs/dialog_canvas.h"
#include "ui/dialogs/settings_dialogs.h"
#include "ui/main_window/channel_panel.h"
#include "ui/main_window/frm_main.h"
#include "ui/main_window/line_conditions.h"
#include "ui/twips.h"
#include "util/error_catch.h"
#include "util/text.h"
#include "util/user_notice.h"

namespace varn {

namespace {
// The lower right corner of the meter that cycles its number, twips.
constexpr int kCornerTwips = 600;
constexpr int kMarkerPixels = 12;
}  // namespace

void FrmMain::MenuButtonClicked(int button) {
  TrappedStep([&] {
    if (button == 1 && engine_) engine_->StopMonitoring();
    switch (button) {
      case kBasicSettingsButton:
      case kSoundSettingsButton:
      case kAuditSettingsButton:
        // Modeless over the window; OK re-reads the settings and restarts
        // the running channels with them.
        ShowSettingsDialog(button, this, start_.Audio(), [this] {
          if (engine_) engine_->GetMiscSetting();
          ReadAlarmView();
        });
        break;
      case 3:
        ToggleLogWindow();
        break;
      case 4:
        if (engine_) openFolder(engine_->Services().dataFolder);
        break;
      default:
        break;  // no other button
    }
  });
}

void FrmMain::RecButtonClicked(int ch, int button, int shiftState) {
  if (!engine_) return;
  if (button == 1) {
    if (shiftState == 0) engine_->SelectMonitorChannel(ch);
    return;
  }
  engine_->ToggleChannels(ch, shiftState);
}

void FrmMain::RenameChannel(int ch) {
  if (!engine_) return;
  ChannelPanel& panel = Panel(ch);
  const std::optional<QString> answer =
      askText(QString::fromUtf8(kRenamePrompt),
              QString::fromUtf8(kAppTitle.data(), static_cast<int>(kAppTitle.size())),
              panel.Name()->FullName());
  if (!answer || answer->isEmpty()) return;
  const std::string name = TrimBlanks(answer->toStdString());
  // Stored cut, the name would change at the next start.
  if (const std::string why = LengthRefusal(ChannelKey("ChName_", ch), name); !why.empty()) {
    std::string text(kInvalidInputText);
    text.append("\n").append(why);
    ShowNotice(text, kAppTitle, NoticeIcon::None);
    return;
  }
  panel.Name()->ShowName(QString::fromStdString(name));
  engine_->RenameChannel(ch, name);
}

void FrmMain::AcknowledgeAlarm(int ch) {
  if (ch < 0 || ch >= static_cast<int>(alarms_.size())) return;
  if (alarms_[static_cast<size_t>(ch)].Acknowledge() && alarmView_)
    Panel(ch).ShowAlarm(alarms_[static_cast<size_t>(ch)].Look());
}

void FrmMain::UpdateAlarms() {
  if (!engine_) return;
  TrappedStep([&] {
    const double now = engine_->Services().clock->Steady();
    const int n = std::min(PanelCount(), static_cast<int>(alarms_.size()));
    for (int ch = 0; ch < n; ++ch) {
      PanelAlarm& alarm = alarms_[static_cast<size_t>(ch)];
      if (alarm.Update(ConditionsOf(*engine_, ch), now) && alarmView_)
        Panel(ch).ShowAlarm(alarm.Look());
    }
  });
}

void FrmMain::ReadAlarmView() {
  TrappedStep([&] {
    alarmView_ = ReadKeyInt("AlarmView") != 0;
    for (int ch = 0; ch < std::min(PanelCount(), static_cast<int>(alarms_.size())); ++ch)
      Panel(ch).ShowAlarm(alarmView_ ? alarms_[static_cast<size_t>(ch)].Look() : AlarmLook{});
  });
}

void FrmMain::SetMeterTextMode(int ch, int mode) {
  if (!engine_) return;
  engine_->SetMeterTextMode(ch, mode);  // redraws through RedrawMeter
}

void FrmMain::MeterReleased(int ch, const PointerEvent& pointer) {
  if (!engine_) return;
  TrappedStep([&] {
    ChannelPanel& panel = Panel(ch);
    const int p = ::varn::TwipsPerPixel();
    if (pointer.button == Qt::LeftButton) {
      const int w = panel.Meter()->width() * p;
      const int h = panel.Meter()->height() * p;
      if (pointer.xTwips < w - kCornerTwips || pointer.yTwips < h - kCornerTwips) return;
      const MeterTextMode next = NextMeterTextMode(engine_->Channel(ch).analysis.meterTextMode,
                                                   engine_->Misc().loudnessView);
      SetMeterTextMode(ch, static_cast<int>(next));
      return;
    }
    if (pointer.button != Qt::RightButton) return;
    stereoMenuChannel_ = ch;
    if (!stereoMenu_) {
      stereoMenu_ = new QMenu(this);
      for (int i = 0; i < 4; ++i) {
        QAction* a = stereoMenu_->addAction(QString::fromUtf8(kStereoMenuItems[i]));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { StereoMenuChosen(i); });
      }
    }
    const int current = static_cast<int>(engine_->Channel(ch).analysis.stereoMode);
    const QList<QAction*> items = stereoMenu_->actions();
    for (int i = 0; i < items.size(); ++i) items[i]->setChecked(i == current);
    stereoMenu_->popup(QCursor::pos());
  });
}

void FrmMain::StereoMenuChosen(int index) {
  if (!engine_ || stereoMenuChannel_ < 0) return;
  TrappedStep([&] { engine_->SetStereoMode(stereoMenuChannel_, index); });
}

void FrmMain::MarkerDragged(int ch, int pointerYTwips) {
  if (!engine_) return;
  ChannelPanel& panel = Panel(ch);
  const int p = ::varn::TwipsPerPixel();
  const int markerH = kMarkerPixels * p;
  const int viewH = panel.Spectrum()->height() * p;
  int top = panel.Marker()->y() * p + pointerYTwips - 6 * p;
  const int topOffset = 3 * p;  // the view's offset inside its frame
  if (top <= topOffset) top = topOffset;
  if (top >= viewH - markerH - 6 * p) top = viewH - markerH - 6 * p;
  panel.Marker()->move(panel.Marker()->x(), top / p);
  if (viewH > 0)
    engine_->SetFftOffset(ch, static_cast<float>(viewH - (top + 6 * p)) / viewH * 100.0f);
  // A running channel's next block draws the grid anew; a standing one's
  // grid follows the marker now.
  if (!engine_->Capturing(ch)) panel.ShowGrid(engine_->Channel(ch).fftOffset);
}

float FrmMain::FreqAtX(int xTwips, int sampleRate) const {
  if (panels_.empty()) return 0.0f;
  const int p = ::varn::TwipsPerPixel();
  const int w = panels_.front()->Scale()->width() * p / p;
  if (w <= 0) return 0.0f;
  const float ny = static_cast<float>(sampleRate) / 2.0f;
  const float e = LinearToDb(10.0f / ny);
  return ny *
         DbToLinear(e / static_cast<float>(w) *
                    (static_cast<float>(w) - static_cast<float>(xTwips) / static_cast<float>(p)));
}

void FrmMain::SpectrumPointerMoved(int ch, int xTwips) {
  if (!engine_) return;
  TrappedStep([&] {
    const int rate = engine_->Channel(ch).capture.SampleRate;
    if (rate == 0) return;
    const float f = FreqAtX(xTwips, rate);
    const QString text = f > 1000 ? QString::fromStdString(FormatFixed(f / 1000.0, 1)) + "kHz"
                                  : QString::fromStdString(FormatFixed(f, 0)) + "Hz";
    Panel(ch).ShowFrequency(text);
  });
}

void FrmMain::ClearFrequencyReadout(int ch) {
  if (ch >= 0 && ch < PanelCount()) Panel(ch).ShowFrequency(QString());
}

}  // namespace varn
