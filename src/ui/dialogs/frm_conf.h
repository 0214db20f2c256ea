#pragma once
// FrmConf, "基本設定": the update interval, the channel count, the panels per
// row, the meter's red point, the data folder and five display switches.
// The interval, the loudness view and the alarm frames take effect at once;
// the rest at the next start.

#include <QLineEdit>
#include <array>
#include <functional>
#include <vector>

#include "ui/dialogs/dialog_canvas.h"

namespace varn {

class UC_Buttons;
class UC_Check;
class UC_PathText;

class FrmConf final : public DialogCanvas {
 public:
  // applySettings: the main window's GetMiscSetting, run after OK stored
  // the values.
  FrmConf(QWidget* owner, std::function<void()> applySettings);

  void OkClicked() override;

  QLineEdit* TextValue(int i) { return textValue_.at(static_cast<size_t>(i)); }
  UC_PathText* TextSoundpath() { return textSoundpath_; }
  // 0 CheckShowRecButton, 1 CheckShowLevelValues, 2 CheckShowChName,
  // 3 CheckLoudnessView, 4 CheckAlarmView.
  UC_Check* Check(int i) { return checks_.at(static_cast<size_t>(i)); }
  UC_Buttons* OKCancelButtons() { return buttons_; }

 private:
  void FormLoad();

  std::vector<QLineEdit*> textValue_;
  UC_PathText* textSoundpath_ = nullptr;
  std::array<UC_Check*, 5> checks_{};
  UC_Buttons* buttons_ = nullptr;
};

}  // namespace varn
