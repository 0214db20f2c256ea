#include "util/user_notice.h"

#include <iostream>

namespace varn {

namespace {
UserNotice* gNotice = nullptr;
}

void SetActiveNotice(UserNotice* notice) { gNotice = notice; }
UserNotice* ActiveNotice() { return gNotice; }

void ShowNotice(std::string_view text, std::string_view title, NoticeIcon icon) {
  if (gNotice) {
    gNotice->Show(text, title, icon);
    return;
  }
  std::cerr << title << ": " << text << "\n";
}

}  // namespace varn
