#pragma once
// Whether the window can be shown: a display that is named and answers.
// Qt ends the process when its platform cannot connect, so the program asks
// first and runs without windows instead.

#include <string>

namespace varn {

struct DisplayCheck {
  bool usable = false;
  // Why not, for the operator: "no display" or "cannot open display :9 (...)".
  std::string reason;
};

// Follows Qt's choice of platform: QT_QPA_PLATFORM when set (a platform
// other than xcb is taken as usable), else the X display in DISPLAY, which
// must accept a connection.
DisplayCheck CheckDisplay();

}  // namespace varn
