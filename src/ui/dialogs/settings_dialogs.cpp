#include "ui/dialogs/settings_dialogs.h"

#include <QScreen>

#include "ui/dialogs/frm_conf.h"
#include "ui/dialogs/frm_conf_audit.h"
#include "ui/dialogs/frm_conf_sound.h"
#include "ui/services/centered_message_box.h"
#include "ui/twips.h"

namespace varn {

namespace {

template <class Dialog>
Dialog* FindOpen(QWidget* owner) {
  if (!owner) return nullptr;
  for (QObject* child : owner->children()) {
    // A confirmed dialog is on its way out while the settings apply.
    auto* dialog = dynamic_cast<Dialog*>(child);
    if (dialog && !dialog->Confirmed()) return dialog;
  }
  return nullptr;
}

}  // namespace

DialogCanvas* OpenSettingsDialog(int button, QWidget* owner) {
  switch (button) {
    case kBasicSettingsButton:
      return FindOpen<FrmConf>(owner);
    case kSoundSettingsButton:
      return FindOpen<FrmConfSound>(owner);
    case kAuditSettingsButton:
      return FindOpen<FrmConfAudit>(owner);
    default:
      return nullptr;
  }
}

DialogCanvas* ShowSettingsDialog(int button, QWidget* owner, DeviceDirectory& devices,
                                 const std::function<void()>& applySettings) {
  DialogCanvas* dialog = OpenSettingsDialog(button, owner);
  if (!dialog) {
    switch (button) {
      case kBasicSettingsButton:
        dialog = new FrmConf(owner, applySettings);
        break;
      case kSoundSettingsButton:
        dialog = new FrmConfSound(owner, devices, applySettings);
        break;
      case kAuditSettingsButton:
        dialog = new FrmConfAudit(owner, applySettings);
        break;
      default:
        return nullptr;
    }
    // Over the middle of the main window, as the message boxes are.
    if (owner && owner->screen())
      dialog->move(CenteredBoxRect(owner->frameGeometry(), dialog->size(),
                                   owner->screen()->availableGeometry(), TwipsPerPixel())
                       .topLeft());
  }
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return dialog;
}

}  // namespace varn
