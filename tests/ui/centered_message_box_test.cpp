#include "ui/services/centered_message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "ui/twips.h"

namespace varn {
namespace {

const QRect kScreen(0, 0, 1920, 1080);

TEST(CenteredBoxRect, OwnerInTheBottomRightCornerKeepsTheBoxOnScreen) {
  EXPECT_EQ(CenteredBoxRect({100, 100, 600, 400}, {200, 100}, kScreen, 15),
            QRect(300, 250, 200, 100));  // room enough: centred
  const QRect box = CenteredBoxRect({1800, 1000, 400, 300}, {300, 150}, kScreen, 15);
  EXPECT_EQ(box.left() + box.width(), 1920);
  EXPECT_EQ(box.top() + box.height(), 1080 - 40);  // 600 twips at 15 per pixel
  // At 10 twips per pixel the strip is 60 pixels; 7 leaves (7 x 1080 - 600) / 7.
  EXPECT_EQ(CenteredBoxRect({1800, 1000, 400, 300}, {300, 150}, kScreen, 10).bottom() + 1, 1020);
  EXPECT_EQ(CenteredBoxRect({1800, 1000, 400, 300}, {300, 150}, kScreen, 7).bottom() + 1, 994);
}

TEST(CenteredBoxRect, NeverStartsOffTheOwnersScreen) {
  // Larger than the space left: the top and left edges stay visible.
  EXPECT_EQ(CenteredBoxRect({0, 0, 100, 100}, {2000, 1100}, kScreen, 15).topLeft(), QPoint(0, 0));
  const QRect second(1920, 0, 1280, 1024);
  EXPECT_EQ(CenteredBoxRect({1900, -50, 100, 100}, {300, 150}, second, 15).topLeft(),
            QPoint(1920, 0));
}

TEST(CenteredMessageBox, ShowsTheBoxWhereTheRuleSaysAndReturnsTheButton) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  QWidget owner;
  owner.setGeometry(screen.right() - 100, screen.bottom() - 100, 300, 200);
  owner.show();
  QRect shown;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = box->frameGeometry();
    box->button(QMessageBox::Cancel)->click();
  });
  EXPECT_EQ(CenteredMessageBox("系統名", QMessageBox::Critical,
                               QMessageBox::Ok | QMessageBox::Cancel, "varn", &owner),
            QMessageBox::Cancel);
  EXPECT_EQ(shown, CenteredBoxRect(owner.frameGeometry(), shown.size(), screen, TwipsPerPixel()));
  EXPECT_LE(shown.bottom() + 1, screen.bottom() + 1 - 600 / TwipsPerPixel());
}

}  // namespace
}  // namespace varn
