#pragma once
// The main window's way into the three settings dialogs: each opens
// modeless over the main window, once; asking again brings the open one
// forward.

#include <functional>

class QWidget;

namespace varn {

class DeviceDirectory;
class DialogCanvas;

// Menu buttons 0 "基本設定", 1 "オーディオ設定" and 2 "監査設定".
inline constexpr int kBasicSettingsButton = 0;
inline constexpr int kSoundSettingsButton = 1;
inline constexpr int kAuditSettingsButton = 2;

// Shows the dialog of `button` over `owner` and returns it; nullptr for any
// other button. applySettings runs after a dialog's OK stored its values.
DialogCanvas* ShowSettingsDialog(int button, QWidget* owner, DeviceDirectory& devices,
                                 const std::function<void()>& applySettings);

// The open (not yet confirmed) dialog of `button` over `owner`, or nullptr.
DialogCanvas* OpenSettingsDialog(int button, QWidget* owner);

}  // namespace varn
