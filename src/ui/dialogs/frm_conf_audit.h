#pragma once
// FrmConfAudit, "監査設定": the monitoring parameters of the eight setting
// sets, one set per tab. OK stores the set shown and makes it the active set
// of every channel.

#include <QLineEdit>
#include <functional>
#include <vector>

#include "ui/dialogs/dialog_canvas.h"

namespace varn {

class UC_Buttons;
class UC_Check;
class UC_Tab;

class FrmConfAudit final : public DialogCanvas {
 public:
  // applySettings: the main window's GetMiscSetting, run after OK stored
  // the set.
  FrmConfAudit(QWidget* owner, std::function<void()> applySettings);

  void OkClicked() override;
  // A tab chosen by the user: its set is shown from the store, and edits to
  // the set shown before are dropped.
  void TabClicked(int tabIndex);
  // Fills the fields from the current set.
  void LoadSet();
  int CurrentSet() const { return set_; }

  UC_Tab* TabConf() { return tab_; }
  QLineEdit* TextValue(int i) { return textValue_.at(static_cast<size_t>(i)); }
  UC_Check* CheckFFTInfinite() { return checkFftInfinite_; }
  UC_Buttons* OKCancelButtons() { return buttons_; }

 private:
  void FormLoad();

  int set_ = 1;
  UC_Tab* tab_ = nullptr;
  std::vector<QLineEdit*> textValue_;
  UC_Check* checkFftInfinite_ = nullptr;
  UC_Buttons* buttons_ = nullptr;
};

}  // namespace varn
