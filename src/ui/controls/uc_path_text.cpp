#include "ui/controls/uc_path_text.h"

#include <QEvent>
#include <QFontMetrics>
#include <QResizeEvent>
#include <algorithm>

#include "ui/controls/control_font.h"
#include "ui/controls/uc_buttons.h"
#include "ui/twips.h"
#include "util/file_names.h"

namespace varn {

UC_PathText::UC_PathText(QWidget* parent)
    : QWidget(parent),
      browseFolder(DefaultFolderChooser()),
      chooseFile(DefaultFileChooser()),
      edit_(new QLineEdit(this)),
      button_(new UC_Buttons(this)) {
  button_->SetNumButtons(1);
  button_->SetButtonChar(0, QString::fromUtf8(kBrowseCaption));
  button_->onButtonClicked = [this](int, int) { SelectButtonClick(); };
  button_->onShiftClicked = [this](int, int, int) { SelectButtonClick(); };
  connect(edit_, &QLineEdit::textChanged, this, [this] {
    if (onTextChange) onTextChange();
  });
  edit_->installEventFilter(this);
  setFocusProxy(edit_);
  SetFontSize(fontSize_);
  resize(sizeHint());
  LayOut();
}

void UC_PathText::Init() {
  edit_->setFont(CachedControlFont(fontSize_).font);
  UpdateButton();
  LayOut();
}

void UC_PathText::SetFontSize(float points) {
  fontSize_ = points;
  edit_->setFont(CachedControlFont(fontSize_).font);
  updateGeometry();
}

int UC_PathText::TextHeight() const { return PixelsToTwips(edit_->height()); }

void UC_PathText::SetTextHeight(int twips) { resize(width(), std::max(1, TwipsToPixels(twips))); }

void UC_PathText::SetButtonDisabled(bool disabled) {
  buttonDisabled_ = disabled;
  UpdateButton();
}

void UC_PathText::UpdateButton() { button_->SetButtonDisable(0, buttonDisabled_ || !isEnabled()); }

QSize UC_PathText::sizeHint() const {
  const int h = edit_->sizeHint().height();
  return {TwipsToPixels(3000) + h, h};
}

void UC_PathText::resizeEvent(QResizeEvent*) { LayOut(); }

void UC_PathText::LayOut() {
  // The button is square, as high as the box.
  const int side = std::min(height(), width() / 2);
  edit_->setGeometry(0, 0, width() - side, height());
  button_->setGeometry(width() - side, 0, side, height());
}

void UC_PathText::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) UpdateButton();
  QWidget::changeEvent(event);
}

bool UC_PathText::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::MouseButtonDblClick && onTextDblClicked)
    onTextDblClicked();
  return QWidget::eventFilter(watched, event);
}

QString UC_PathText::StartFolder() const {
  if (!initDir_.isEmpty()) return initDir_;
  PathParts folderOnly;
  folderOnly.folder = true;
  return QString::fromStdString(SplitPath(Text().toStdString(), folderOnly));
}

QString UC_PathText::FileFilter() const {
  if (!filter_.isEmpty() || ext_.isEmpty()) return filter_;
  return ext_ + QString::fromUtf8(kExtFilterMiddle) + ext_;
}

void UC_PathText::SelectButtonClick() {
  QString result;
  switch (static_cast<PathUsage>(usage_)) {
    case PathUsage::Folder:
      if (browseFolder) result = browseFolder(StartFolder(), QString(), window());
      break;
    case PathUsage::OpenFile:
    case PathUsage::SaveFile:
      if (chooseFile)
        result = chooseFile(window(), usage_ == static_cast<int>(PathUsage::SaveFile), FileFilter(),
                            StartFolder(), Text(), -1);
      if (!ext_.isEmpty())
        result = QString::fromStdString(EnsureExtension(result.toStdString(), ext_.toStdString()));
      break;
    default:
      // No browsing: the host decides what the button does.
      if (onSelectButtonClicked) onSelectButtonClicked();
      return;
  }
  if (result.isEmpty()) return;  // cancelled
  SetText(result);
  if (onSelectButtonClicked) onSelectButtonClicked();
}

}  // namespace varn
