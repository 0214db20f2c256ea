#include "ui/dialogs/frm_conf_audit.h"

#include <QFontMetrics>
#include <algorithm>

#include "settings/audit_settings.h"
#include "ui/controls/uc_buttons.h"
#include "ui/controls/uc_check.h"
#include "ui/controls/uc_tab.h"
#include "ui/dialogs/dialog_building.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/dialogs/setup_check.h"
#include "ui/fonts/font_cache.h"
#include "ui/twips.h"

namespace varn {

namespace {

constexpr int kTabMinWidthTwips = 900;
// Between the tab strip and the first field, and between a unit and the check box.
constexpr int kSectionGap = 10;
constexpr int kCheckGap = 16;

}  // namespace

FrmConfAudit::FrmConfAudit(QWidget* owner, std::function<void()> applySettings)
    : DialogCanvas(owner, std::move(applySettings)) {
  FormLoad();
}

void FrmConfAudit::FormLoad() {
  setWindowTitle(QString::fromUtf8(kAuditCaption));
  const QFontMetrics metrics(font());
  QStringList labels;
  QStringList units;
  for (const NumberField& f : kAuditFields) {
    labels << QString::fromUtf8(f.label);
    units << QString::fromUtf8(f.unit);
  }

  tab_ = new UC_Tab(this);
  tab_->SetNumTab(kSetCount);
  tab_->SetUseIndpWidth(0);
  tab_->SetTabMinWidth(kTabMinWidthTwips);
  for (int i = 0; i < kSetCount; ++i)
    tab_->SetTabStr(i, QString::fromUtf8(kSetTabPrefix) + QString::number(i + 1));
  tab_->move(kDialogMargin, kDialogMargin);
  tab_->resize(tab_->sizeHint());
  tab_->SetBGPic(PixelsToTwips(tab_->x()), PixelsToTwips(tab_->y()), this);
  tab_->DrawAll();
  tab_->onTabClicked = [this](int tab) { TabClicked(tab); };

  auto* first = new QLineEdit(this);
  SetWindowFont(first);
  first->setGeometry(FieldLeftAfterLabel(WidestText(this, labels)),
                     tab_->geometry().bottom() + 1 + kSectionGap,
                     metrics.horizontalAdvance("-0000.00"), TextBoxHeight(this));
  first->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
  textValue_.push_back(first);
  for (int i = 1; i < 8; ++i) AddControlRow(textValue_, i, true);
  for (size_t i = 0; i < textValue_.size(); ++i) {
    DrawLabel(this, textValue_[i], labels[static_cast<qsizetype>(i)], kLabelLeft);
    if (!units[static_cast<qsizetype>(i)].isEmpty())
      DrawLabel(this, textValue_[i], units[static_cast<qsizetype>(i)], kLabelRight);
  }

  // Level with the peak-hold field, right of the widest unit.
  checkFftInfinite_ = new UC_Check(this);
  SetupCheck(checkFftInfinite_, QString::fromUtf8(kFftInfiniteCaption), 0, this, kCheckPoints);
  checkFftInfinite_->move(first->geometry().right() + 1 + WidestText(this, units) + kCheckGap,
                          checkFftInfinite_->y());
  PlaceNextTo(checkFftInfinite_, textValue_[2], kPlaceCentredBeside, kDefaultGap, 0);
  EnterMeansOk(checkFftInfinite_);

  set_ = StoredSelectedSet();
  tab_->SetSelectedTab(set_ - 1);
  tab_->DrawAll();
  LoadSet();

  buttons_ = new UC_Buttons(this);
  buttons_->SetOKCancel();
  const int right = std::max(tab_->geometry().right(), checkFftInfinite_->geometry().right());
  buttons_->move(right + 1 - buttons_->width(),
                 textValue_.back()->geometry().bottom() + 1 + kButtonBarGap);
  buttons_->onButtonClicked = [this](int, int button) { ButtonClicked(button); };

  QWidget* previous = tab_;
  const auto chain = [&previous](QWidget* next) {
    setTabOrder(previous, next);
    previous = next;
  };
  for (size_t i = 0; i < textValue_.size(); ++i) {
    chain(textValue_[i]);
    if (i == 2) chain(checkFftInfinite_);
  }
  chain(buttons_);

  FitToContents(kDialogMargin);
  textValue_[0]->setFocus();
}

void FrmConfAudit::LoadSet() {
  const AuditSetValues values = LoadAuditSet(set_);
  for (size_t i = 0; i < textValue_.size(); ++i)
    textValue_[i]->setText(QString::fromStdString(values.numbers[i]));
  checkFftInfinite_->SetValue(values.fftInfinite);
}

void FrmConfAudit::TabClicked(int tabIndex) {
  if (tabIndex < 0 || tabIndex >= kSetCount) return;
  set_ = tabIndex + 1;
  LoadSet();
}

void FrmConfAudit::OkClicked() {
  AuditSetValues values;
  for (size_t i = 0; i < textValue_.size(); ++i)
    values.numbers[i] = textValue_[i]->text().toStdString();
  values.fftInfinite = checkFftInfinite_->Value();
  Confirm([&] {
    StoreAuditSet(set_, values);
    for (size_t i = 0; i < textValue_.size(); ++i)
      textValue_[i]->setText(QString::fromStdString(values.numbers[i]));
    return true;
  });
}

}  // namespace varn
