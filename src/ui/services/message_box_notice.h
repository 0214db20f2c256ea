#pragma once
// Notices of the engine (a device that will not open, a channel that cannot
// start) shown to the operator as message boxes over the main window.

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "util/user_notice.h"

namespace varn {

// The icon a notice is shown with.
QMessageBox::Icon NoticeBoxIcon(NoticeIcon icon);

class MessageBoxNotice : public UserNotice {
 public:
  // How a box is shown; CenteredMessageBox unless a test puts in one that
  // records instead of waiting for a button.
  using BoxFunction = std::function<QMessageBox::StandardButton(
      const QString& text, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
      const QString& caption, QWidget* owner)>;

  explicit MessageBoxNotice(QWidget* owner, BoxFunction showBox = {});

  // An OK box with the notice's icon, over the owner while it exists.
  void Show(std::string_view text, std::string_view title, NoticeIcon icon) override;

 private:
  QPointer<QWidget> owner_;
  BoxFunction showBox_;
};

}  // namespace varn
