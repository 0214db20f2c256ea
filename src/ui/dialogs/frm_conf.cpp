#include "ui/dialogs/frm_conf.h"

#include <QFontMetrics>

#include "settings/basic_settings.h"
#include "ui/controls/uc_buttons.h"
#include "ui/controls/uc_check.h"
#include "ui/controls/uc_path_text.h"
#include "ui/dialogs/dialog_building.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/dialogs/setup_check.h"
#include "ui/fonts/font_cache.h"
#include "ui/services/choosers.h"
#include "ui/twips.h"

namespace varn {

namespace {

constexpr int kPathWidthChars = 40;

}  // namespace

FrmConf::FrmConf(QWidget* owner, std::function<void()> applySettings)
    : DialogCanvas(owner, std::move(applySettings)) {
  FormLoad();
}

void FrmConf::FormLoad() {
  setWindowTitle(QString::fromUtf8(kBasicCaption));
  QStringList labels{QString::fromUtf8(kDataFolderLabel)};
  for (const NumberField& f : kBasicFields) labels << QString::fromUtf8(f.label);
  const int left = FieldLeftAfterLabel(WidestText(this, labels));
  const QFontMetrics metrics(font());
  const int height = TextBoxHeight(this);

  auto* first = new QLineEdit(this);
  SetWindowFont(first);
  first->setGeometry(left, kDialogMargin, metrics.horizontalAdvance("-0000.00"), height);
  first->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
  textValue_.push_back(first);
  for (int i = 1; i < 4; ++i) AddControlRow(textValue_, i, true);

  const BasicSettingsValues values = LoadBasicSettings();
  for (size_t i = 0; i < textValue_.size(); ++i) {
    const NumberField& f = kBasicFields[i];
    DrawLabel(this, textValue_[i], QString::fromUtf8(f.label), kLabelLeft);
    if (*f.unit) DrawLabel(this, textValue_[i], QString::fromUtf8(f.unit), kLabelRight);
    textValue_[i]->setText(QString::fromStdString(values.numbers[i]));
  }

  textSoundpath_ = new UC_PathText(this);
  textSoundpath_->SetUsage(static_cast<int>(PathUsage::Folder));
  textSoundpath_->resize(metrics.averageCharWidth() * kPathWidthChars, height);
  textSoundpath_->Init();
  PlaceNextTo(textSoundpath_, textValue_[3], kPlaceBelow, kDefaultGap, 1);
  textSoundpath_->SetText(QString::fromStdString(values.dataFolder));
  textSoundpath_->browseFolder = [](const QString& initial, const QString& prompt, QWidget* owner) {
    return QString::fromStdString(BrowseFolder(initial.toStdString(), prompt.toStdString(), owner));
  };
  DrawLabel(this, textSoundpath_, QString::fromUtf8(kDataFolderLabel), kLabelLeft);

  QWidget* above = textSoundpath_;
  int gradient = 0;
  for (size_t i = 0; i < checks_.size(); ++i) {
    auto* check = new UC_Check(this);
    PlaceNextTo(check, above, kPlaceBelow, PixelsToTwips(4), 1);
    // They share the first one's background gradient.
    SetupCheck(check, QString::fromUtf8(kBasicChecks[i].caption), values.checks[i], this,
               kCheckPoints, gradient);
    if (i == 0) gradient = check->Gradhdc();
    EnterMeansOk(check);
    checks_[i] = check;
    above = check;
  }

  buttons_ = new UC_Buttons(this);
  buttons_->SetOKCancel();
  buttons_->move(textSoundpath_->geometry().right() + 1 - buttons_->width(),
                 above->geometry().bottom() + 1 + kButtonBarGap);
  buttons_->onButtonClicked = [this](int, int button) { ButtonClicked(button); };

  // Tab follows the fields from top to bottom.
  QWidget* previous = textValue_[0];
  const auto chain = [&previous](QWidget* next) {
    setTabOrder(previous, next);
    previous = next;
  };
  for (size_t i = 1; i < textValue_.size(); ++i) chain(textValue_[i]);
  chain(textSoundpath_->TextBox());
  chain(textSoundpath_->BrowseButton());
  for (UC_Check* check : checks_) chain(check);
  chain(buttons_);

  FitToContents(kDialogMargin);
  textValue_[0]->setFocus();
}

void FrmConf::OkClicked() {
  BasicSettingsValues values;
  for (size_t i = 0; i < textValue_.size(); ++i)
    values.numbers[i] = textValue_[i]->text().toStdString();
  values.dataFolder = textSoundpath_->Text().toStdString();
  for (size_t i = 0; i < checks_.size(); ++i) values.checks[i] = checks_[i]->Value();
  Confirm([&] {
    if (const std::string why = BasicSettingsRefusal(values); !why.empty()) {
      ShowInvalidInput(why);
      return false;
    }
    StoreBasicSettings(values);
    for (size_t i = 0; i < textValue_.size(); ++i)
      textValue_[i]->setText(QString::fromStdString(values.numbers[i]));
    return true;
  });
}

}  // namespace varn
