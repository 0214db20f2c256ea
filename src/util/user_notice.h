#pragma once
// Messages the operator must see (a device that will not open, a channel
// that cannot start). The window shows them as message boxes; the headless
// runner and the command line print them; tests record them.

#include <string_view>

namespace varn {

enum class NoticeIcon { None, Error, Warning, Information };

class UserNotice {
 public:
  virtual ~UserNotice() = default;
  virtual void Show(std::string_view text, std::string_view title, NoticeIcon icon) = 0;
};

// The process-wide receiver; without one, notices go to standard error.
void SetActiveNotice(UserNotice* notice);
UserNotice* ActiveNotice();
void ShowNotice(std::string_view text, std::string_view title = "varn",
                NoticeIcon icon = NoticeIcon::Error);

}  // namespace varn
