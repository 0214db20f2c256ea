#pragma once
// FrmConfSound, "オーディオ設定": for each of the eight channel rows the
// capture device, sample rate and format, level trim, buffer length,
// archiving and MP3 bit rate; for the whole program the monitor output
// device and its delay. Monitoring goes on while it is open; the new values
// reach a channel when it next starts (OK restarts the running ones).

#include <QComboBox>
#include <QLineEdit>
#include <functional>
#include <memory>
#include <vector>

#include "ui/dialogs/dialog_canvas.h"

namespace varn {

class C_mp3acm;
class DeviceDirectory;
class UC_Buttons;
class UC_Check;

class FrmConfSound final : public DialogCanvas {
 public:
  // devices: the active backend's device lists; applySettings: the main
  // window's GetMiscSetting, run after OK stored everything.
  FrmConfSound(QWidget* owner, DeviceDirectory& devices, std::function<void()> applySettings);
  ~FrmConfSound() override;

  void OkClicked() override;
  // Refills a row's bit-rate list for its rate and format, keeping bitRate
  // (or, for 0, the bit rate chosen now) when the new list offers it.
  void RefreshBitRates(int row, int bitRate);

  QComboBox* ComboDev(int row) { return comboDev_.at(static_cast<size_t>(row)); }
  QComboBox* ComboFreq(int row) { return comboFreq_.at(static_cast<size_t>(row)); }
  QComboBox* ComboFmt(int row) { return comboFmt_.at(static_cast<size_t>(row)); }
  QLineEdit* TextRecLevelDB(int row) { return textRecLevelDb_.at(static_cast<size_t>(row)); }
  QLineEdit* TextBufferSec(int row) { return textBufferSec_.at(static_cast<size_t>(row)); }
  UC_Check* CheckArcOn(int row) { return checkArcOn_.at(static_cast<size_t>(row)); }
  UC_Check* Checkmp3(int row) { return checkMp3_.at(static_cast<size_t>(row)); }
  QComboBox* ComboBR(int row) { return comboBr_.at(static_cast<size_t>(row)); }
  QComboBox* ComboMonDev() { return comboMonDev_; }
  QLineEdit* TextBufferDelay() { return textBufferDelay_; }
  UC_Buttons* OKCancelButtons() { return buttons_; }

 private:
  void FormLoad();
  void MakeRows();
  void LoadRow(int row);
  void PlaceBottom();
  void ChainTabOrder();

  DeviceDirectory& devices_;
  std::unique_ptr<C_mp3acm> codec_;  // the bit-rate probe, made on first use
  std::vector<QComboBox*> comboDev_;
  std::vector<QComboBox*> comboFreq_;
  std::vector<QComboBox*> comboFmt_;
  std::vector<QLineEdit*> textRecLevelDb_;
  std::vector<QLineEdit*> textBufferSec_;
  std::vector<UC_Check*> checkArcOn_;
  std::vector<UC_Check*> checkMp3_;
  std::vector<QComboBox*> comboBr_;
  QComboBox* comboMonDev_ = nullptr;
  QLineEdit* textBufferDelay_ = nullptr;
  UC_Buttons* buttons_ = nullptr;
};

}  // namespace varn
