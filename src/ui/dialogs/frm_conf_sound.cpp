#include "ui/dialogs/frm_conf_sound.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <algorithm>

#include "archive/mp3acm.h"
#include "audio/device_catalogue.h"
#include "settings/number_field.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "settings/sound_settings.h"
#include "ui/controls/uc_buttons.h"
#include "ui/controls/uc_check.h"
#include "ui/dialogs/combo_choice_list.h"
#include "ui/dialogs/dialog_building.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/dialogs/setup_check.h"
#include "ui/fonts/font_cache.h"
#include "ui/twips.h"

namespace varn {

namespace {

constexpr int kColumnGap = 8;
// The device lists grow with the names they hold, up to this width.
constexpr const char* kDeviceMinText = "Built-in Audio Analog Stereo";
constexpr int kDeviceMaxPixels = 360;
constexpr int kComboChrome = 32;  // frame and arrow of a combo box, pixels

QString Q(const char* text) { return QString::fromUtf8(text); }

// Makes a combo box list the whole of its longest entry when it opens.
void WidenPopup(QComboBox* combo) {
  const QFontMetrics metrics(combo->font());
  int widest = 0;
  for (int i = 0; i < combo->count(); ++i)
    widest = std::max(widest, metrics.horizontalAdvance(combo->itemText(i)));
  combo->view()->setMinimumWidth(widest + kComboChrome);
}

// The width of a device list: its longest name, within limits.
int DeviceListWidth(const QWidget* window, DeviceDirectory& devices) {
  const QFontMetrics metrics(window->font());
  int widest = metrics.horizontalAdvance(Q(kDeviceMinText));
  for (const bool isInput : {true, false}) {
    const int count = devices.DeviceCount(isInput);
    for (int id = 0; id < count; ++id)
      widest = std::max(widest, metrics.horizontalAdvance(
                                    QString::fromStdString(devices.DeviceName(isInput, id))));
  }
  return std::min(widest + kComboChrome, kDeviceMaxPixels);
}

}  // namespace

FrmConfSound::FrmConfSound(QWidget* owner, DeviceDirectory& devices,
                           std::function<void()> applySettings)
    : DialogCanvas(owner, std::move(applySettings)), devices_(devices) {
  FormLoad();
}

FrmConfSound::~FrmConfSound() = default;

void FrmConfSound::FormLoad() {
  setWindowTitle(Q(kSoundCaption));
  MakeRows();
  {
    SettingsBatch batch;
    PlaceBottom();
    for (int row = 0; row < kSoundRows; ++row) LoadRow(row);
  }
  const std::pair<QWidget*, const char*> titles[] = {
      {comboDev_[0], "録音デバイス"},  {comboFreq_[0], "周波数"},
      {comboFmt_[0], "形式"},          {textRecLevelDb_[0], "レベル"},
      {textBufferSec_[0], "バッファ"}, {comboBr_[0], "ビットレート"}};
  for (const auto& [control, title] : titles) DrawLabel(this, control, Q(title), kLabelAbove);
  ChainTabOrder();
  FitToContents(kDialogMargin);
  comboDev_[0]->setFocus();
}

// Row 0 is laid out column by column from the captions' widths; rows 1 to 7
// are made below it.
void FrmConfSound::MakeRows() {
  const QFontMetrics metrics(font());
  const auto columnWidth = [&](const QString& widestEntry, const char* title, int chrome) {
    return std::max(metrics.horizontalAdvance(widestEntry) + chrome,
                    metrics.horizontalAdvance(Q(title)) + kColumnGap);
  };
  const int rowTop = kDialogMargin + metrics.height() + 4;
  int x = FieldLeftAfterLabel(metrics.horizontalAdvance("ch8"));
  const auto addCombo = [&](std::vector<QComboBox*>& array, int width) {
    auto* combo = new QComboBox(this);
    SetWindowFont(combo);
    combo->setGeometry(x, rowTop, width, combo->sizeHint().height());
    array.push_back(combo);
    x += width + kColumnGap;
    return combo;
  };
  const auto addText = [&](std::vector<QLineEdit*>& array, int width, const char* unit) {
    auto* text = new QLineEdit(this);
    SetWindowFont(text);
    // No taller than the row's combo boxes, so the rows never overlap.
    text->resize(width, std::min(TextBoxHeight(this), comboDev_[0]->height()));
    text->move(x, text->y());
    text->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    array.push_back(text);
    x += width + 2 + metrics.horizontalAdvance(Q(unit)) + kColumnGap;
    return text;
  };
  const auto addCheck = [&](std::vector<UC_Check*>& array, const char* caption) {
    auto* check = new UC_Check(this);
    SetupCheck(check, Q(caption), 0, this, kCheckPoints);
    check->move(x, check->y());
    EnterMeansOk(check);
    array.push_back(check);
    x += check->width() + kColumnGap;
    return check;
  };

  addCombo(comboDev_, DeviceListWidth(this, devices_));
  addCombo(comboFreq_, columnWidth("192000", "周波数", kComboChrome));
  addCombo(comboFmt_, columnWidth("Stereo16bit", "形式", kComboChrome));
  addText(textRecLevelDb_, columnWidth("-99.0", "レベル", 12), "db");
  addText(textBufferSec_, columnWidth("100.0", "バッファ", 12), "sec");
  addCheck(checkArcOn_, kArcOnCaption);
  addCheck(checkMp3_, kMp3Caption);
  addCombo(comboBr_, columnWidth("320", "ビットレート", kComboChrome));

  for (int row = 1; row < kSoundRows; ++row) {
    AddControlRow(comboDev_, row, true);
    AddControlRow(comboFreq_, row, true);
    AddControlRow(comboFmt_, row, true);
    AddControlRow(textRecLevelDb_, row, true);
    AddControlRow(textBufferSec_, row, true);
    AddControlRow(checkArcOn_, row, true);
    AddControlRow(checkMp3_, row, true);
    AddControlRow(comboBr_, row, true);
  }
  for (int row = 0; row < kSoundRows; ++row) {
    const size_t r = static_cast<size_t>(row);
    // The combo boxes set the row; the rest sit centred on its format list.
    for (QWidget* w : std::initializer_list<QWidget*>{textRecLevelDb_[r], textBufferSec_[r],
                                                      checkArcOn_[r], checkMp3_[r], comboBr_[r]})
      PlaceNextTo(w, comboFmt_[r], kPlaceCentredBeside, kDefaultGap, 0);
    comboBr_[r]->clear();
    QObject::connect(comboFmt_[r], &QComboBox::activated, this,
                     [this, row] { RefreshBitRates(row, 0); });
    QObject::connect(comboFreq_[r], &QComboBox::activated, this,
                     [this, row] { RefreshBitRates(row, 0); });
  }
}

// The OK/Cancel bar where the rows end, the monitor output beside it.
void FrmConfSound::PlaceBottom() {
  const QFontMetrics metrics(font());
  const QRect dev0 = comboDev_[0]->geometry();
  const int barTop = dev0.y() + kSoundRows * (dev0.height() + 2) + kButtonBarGap;

  buttons_ = new UC_Buttons(this);
  buttons_->SetOKCancel();
  buttons_->move(comboBr_[0]->geometry().right() + 1 - buttons_->width(), barTop);
  buttons_->onButtonClicked = [this](int, int button) { ButtonClicked(button); };

  comboMonDev_ = new QComboBox(this);
  SetWindowFont(comboMonDev_);
  comboMonDev_->setGeometry(dev0.x(), barTop + metrics.height() + 4, dev0.width(), dev0.height());
  ComboChoiceList monitors(comboMonDev_);
  FillDeviceCombo(monitors, false, ReadKeyText("MonDeviceName"), devices_);
  WidenPopup(comboMonDev_);
  DrawLabel(this, comboMonDev_, Q("モニターデバイス"), kLabelAbove);

  textBufferDelay_ = new QLineEdit(this);
  SetWindowFont(textBufferDelay_);
  textBufferDelay_->resize(textBufferSec_[0]->width(), textBufferSec_[0]->height());
  textBufferDelay_->move(comboMonDev_->geometry().right() + 1 + kColumnGap * 2 +
                             metrics.horizontalAdvance(Q("遅延")) + 8,
                         0);
  textBufferDelay_->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
  PlaceNextTo(textBufferDelay_, comboMonDev_, kPlaceCentredBeside, kDefaultGap, 0);
  textBufferDelay_->setText(QString::number(ReadKeyInt("BufferDelay")));
  DrawLabel(this, textBufferDelay_, Q("遅延"), kLabelLeft);
  DrawLabel(this, textBufferDelay_, Q("ms"), kLabelRight);
}

void FrmConfSound::LoadRow(int row) {
  const size_t r = static_cast<size_t>(row);
  ComboChoiceList formats(comboFmt_[r]);
  FillFormatCombo(formats, std::max(0, ReadKeyInt(ChannelKey("RecMode_", row))), kSoundLastFormat);
  ComboChoiceList rates(comboFreq_[r]);
  FillRateCombo(rates, ReadKeyInt(ChannelKey("RecFreq_", row)), kSoundMinRate, 0);
  ComboChoiceList inputs(comboDev_[r]);
  FillDeviceCombo(inputs, true, ReadKeyText(ChannelKey("DeviceName_", row)), devices_);
  WidenPopup(comboDev_[r]);
  textRecLevelDb_[r]->setText(
      QString::fromStdString(ShownFieldText(ChannelKey("RecLevelDB_", row), 1)));
  textBufferSec_[r]->setText(QString::number(ReadKeyInt(ChannelKey("BufferSec_", row))));
  SetupCheck(checkArcOn_[r], Q(kArcOnCaption), ReadKeyInt(ChannelKey("ArcOn_", row)), this,
             kCheckPoints);
  const int bitRate = ReadKeyInt(ChannelKey("BitRate_", row));
  RefreshBitRates(row, bitRate);
  SetupCheck(checkMp3_[r], Q(kMp3Caption), bitRate < 1 ? 0 : 1, this, kCheckPoints);
  DrawLabel(this, comboDev_[r], "ch" + QString::number(row + 1), kLabelLeft);
  DrawLabel(this, textRecLevelDb_[r], "db", kLabelRight);
  DrawLabel(this, textBufferSec_[r], "sec", kLabelRight);
}

void FrmConfSound::RefreshBitRates(int row, int bitRate) {
  if (row < 0 || row >= kSoundRows) return;
  if (!codec_) codec_ = std::make_unique<C_mp3acm>();
  const size_t r = static_cast<size_t>(row);
  ComboChoiceList bitRates(comboBr_[r]);
  RefreshBitRateList(*codec_, bitRates, comboFreq_[r]->currentText().toStdString(),
                     comboFmt_[r]->currentIndex(), bitRate);
}

// Tab goes along each row, then to the monitor output and the buttons.
void FrmConfSound::ChainTabOrder() {
  QWidget* previous = nullptr;
  const auto chain = [&previous](QWidget* next) {
    if (previous) setTabOrder(previous, next);
    previous = next;
  };
  for (size_t r = 0; r < comboDev_.size(); ++r) {
    for (QWidget* w : std::initializer_list<QWidget*>{comboDev_[r], comboFreq_[r], comboFmt_[r],
                                                      textRecLevelDb_[r], textBufferSec_[r],
                                                      checkArcOn_[r], checkMp3_[r], comboBr_[r]})
      chain(w);
  }
  chain(comboMonDev_);
  chain(textBufferDelay_);
  chain(buttons_);
}

void FrmConfSound::OkClicked() {
  Confirm([&] {
    SoundSettingsValues values;
    for (size_t r = 0; r < values.rows.size(); ++r) {
      SoundRowValues& row = values.rows[r];
      row.formatIndex = comboFmt_[r]->currentIndex();
      if (comboDev_[r]->currentIndex() >= 0) row.device = comboDev_[r]->currentText().toStdString();
      if (comboFreq_[r]->currentIndex() >= 0) row.rate = comboFreq_[r]->currentText().toStdString();
      row.level = textRecLevelDb_[r]->text().toStdString();
      row.buffer = textBufferSec_[r]->text().toStdString();
      row.arcOn = checkArcOn_[r]->Value();
      row.mp3 = checkMp3_[r]->Value() != 0;
      row.bitRate = comboBr_[r]->currentText().toStdString();
    }
    values.bufferDelay = textBufferDelay_->text().toStdString();
    if (comboMonDev_->currentIndex() >= 0)
      values.monitorDevice = comboMonDev_->currentText().toStdString();

    if (const std::string why = SoundSettingsRefusal(values); !why.empty()) {
      ShowInvalidInput(why);
      return false;
    }
    const int stoppedAt = StoreSoundSettings(values);
    for (size_t r = 0; r < values.rows.size(); ++r) {
      textRecLevelDb_[r]->setText(QString::fromStdString(values.rows[r].level));
      textBufferSec_[r]->setText(QString::fromStdString(values.rows[r].buffer));
    }
    textBufferDelay_->setText(QString::fromStdString(values.bufferDelay));
    if (stoppedAt < 0) return true;
    ShowBox(Q(kOnly16BitText), QMessageBox::Critical, QString());
    return false;
  });
}

}  // namespace varn
