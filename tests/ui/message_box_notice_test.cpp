#include "ui/services/message_box_notice.h"

#include <gtest/gtest.h>

#include "qstring_print.h"

namespace varn {
namespace {

TEST(MessageBoxNotice, ShowsEngineNoticesOverItsOwner) {
  QWidget owner;
  QString text, caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* shownOver = nullptr;
  // Records instead of showing a modal box that would wait for a click.
  MessageBoxNotice notice(&owner, [&](const QString& t, QMessageBox::Icon i,
                                      QMessageBox::StandardButtons, const QString& c, QWidget* o) {
    text = t, icon = i, caption = c, shownOver = o;
    return QMessageBox::Ok;
  });
  SetActiveNotice(&notice);
  ShowNotice("録音開始失敗");
  SetActiveNotice(nullptr);
  EXPECT_EQ(text, "録音開始失敗");
  EXPECT_EQ(caption, "varn");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(shownOver, &owner);
}

}  // namespace
}  // namespace varn
