// The tab strip and the check box: what the user's clicks and keys raise,
// and what code setting them does not.

#include <gtest/gtest.h>

#include <vector>

#include "ui/controls/uc_check.h"
#include "ui/controls/uc_tab.h"
#include "ui/twips.h"
#include "widget_input.h"

namespace varn {
namespace {

class UCTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    tab.SetNumTab(8);
    for (int i = 0; i < 8; ++i) tab.SetTabStr(i, QString("設定%1").arg(i + 1));
    tab.SetUseIndpWidth(0);
    tab.SetTabMinWidth(900);
    tab.resize(tab.sizeHint());
    tab.onTabClicked = [this](int i) { clicked.push_back(i); };
  }
  QPoint Centre(int i) const { return tab.TabRect(i).center(); }

  UC_Tab tab;
  std::vector<int> clicked;
};

TEST_F(UCTabTest, EqualWidthsNotBelowTheMinimum) {
  EXPECT_GE(tab.TabWidth(0), 900);
  EXPECT_EQ(tab.TabWidth(0), tab.TabWidth(7));
  tab.SetTabStr(3, "ずっと長い見出しの設定");
  EXPECT_EQ(tab.TabWidth(0), tab.TabWidth(3));  // all as wide as the widest
  tab.SetUseIndpWidth(1);
  EXPECT_LT(tab.TabWidth(0), tab.TabWidth(3));
}

TEST_F(UCTabTest, ClicksAndArrowsSelectAndRaiseCodeDoesNot) {
  tab.SetSelectedTab(2);
  EXPECT_TRUE(clicked.empty());
  test::Click(tab, Centre(5));
  test::Click(tab, Centre(5));  // the selected tab again: nothing new
  test::Key(tab, Qt::Key_Right);
  tab.SetTabHidden(7, true);
  test::Key(tab, Qt::Key_Right);  // 7 is hidden: nowhere to go
  test::Key(tab, Qt::Key_Home);
  EXPECT_EQ(clicked, (std::vector<int>{5, 6, 0}));
  EXPECT_EQ(tab.SelectedTab(), 0);
  tab.SetClickDisabled(true);
  test::Click(tab, Centre(4));
  EXPECT_EQ(tab.SelectedTab(), 0);
}

TEST(UCCheck, UserTogglesAndRaisesCodeSetsQuietly) {
  UC_Check check;
  int clicks = 0;
  check.onClick = [&] { ++clicks; };
  check.SetCaption("録音/出力ボタン表示");
  check.SetValue(1);
  EXPECT_EQ(clicks, 0);
  test::Click(check, {5, check.height() / 2});
  EXPECT_EQ(check.Value(), 0);
  test::Key(check, Qt::Key_Space);
  EXPECT_EQ(check.Value(), 1);
  EXPECT_EQ(clicks, 2);
  check.setEnabled(false);
  test::Key(check, Qt::Key_Space);
  EXPECT_EQ(check.Value(), 1);
}

TEST(UCCheck, CaptionIsNeverCutAndOptionOnlyTurnsOn) {
  UC_Check check;
  check.SetCaption("最大/最小レベル表示");
  const int narrow = check.width();
  check.SetSizeRate(2.0f);
  EXPECT_GT(check.width(), narrow);  // room for the larger mark as well
  EXPECT_GE(check.width(), check.sizeHint().width());
  check.SetIsOption(true);
  test::Key(check, Qt::Key_Space);
  test::Key(check, Qt::Key_Space);
  EXPECT_EQ(check.Value(), 1);
}

}  // namespace
}  // namespace varn
