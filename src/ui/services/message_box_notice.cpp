#include "ui/services/message_box_notice.h"

#include <utility>

#include "ui/services/centered_message_box.h"

namespace varn {

namespace {
QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

QMessageBox::Icon NoticeBoxIcon(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::Error:
      return QMessageBox::Critical;
    case NoticeIcon::Warning:
      return QMessageBox::Warning;
    case NoticeIcon::Information:
      return QMessageBox::Information;
    case NoticeIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

MessageBoxNotice::MessageBoxNotice(QWidget* owner, BoxFunction showBox)
    : owner_(owner), showBox_(showBox ? std::move(showBox) : BoxFunction(CenteredMessageBox)) {}

void MessageBoxNotice::Show(std::string_view text, std::string_view title, NoticeIcon icon) {
  showBox_(FromUtf8(text), NoticeBoxIcon(icon), QMessageBox::Ok, FromUtf8(title), owner_.data());
}

}  // namespace varn
