// The button bar as the dialogs and the channel panels use it: which event a
// click raises, the Cancel / OK pair, and the keyboard.

#include "ui/controls/uc_buttons.h"

#include <gtest/gtest.h>

#include <vector>

#include "qstring_print.h"
#include "ui/twips.h"
#include "widget_input.h"

namespace varn {
namespace {

struct Recorded {
  std::vector<std::vector<int>> clicked, shifted, right;
};

void Record(UC_Buttons& bar, Recorded& r) {
  bar.onButtonClicked = [&r](int index, int button) { r.clicked.push_back({index, button}); };
  bar.onShiftClicked = [&r](int index, int button, int shift) {
    r.shifted.push_back({index, button, shift});
  };
  bar.onRightClicked = [&r](int index, int button) { r.right.push_back({index, button}); };
}

TEST(UCButtons, OkCancelPairHasItsCaptionsAndSize) {
  SetTwipsPerPixel(15);
  UC_Buttons bar;
  bar.SetOKCancel();
  ASSERT_EQ(bar.NumButtons(), 2);
  EXPECT_EQ(bar.GetButtonChar(0), "キャンセル");
  EXPECT_EQ(bar.GetButtonChar(1), "OK");
  EXPECT_EQ(bar.size(), QSize(160, 22));  // 2400 x 330 twips

  UC_Buttons swapped;
  swapped.resize(50, 10);
  swapped.SetOKCancel(true, true, 1);
  EXPECT_EQ(swapped.GetButtonChar(0), "OK");
  EXPECT_EQ(swapped.GetButtonChar(1), "キャンセル");
  EXPECT_EQ(swapped.size(), QSize(50, 10));  // noSize keeps it
  EXPECT_EQ(swapped.SelectedColor(), 0xFFFFFF);
}

TEST(UCButtons, PlainModifiedAndRightClicksRaiseTheirOwnEvents) {
  UC_Buttons bar(nullptr, 4);
  bar.SetNumButtons(2);
  bar.resize(200, 24);
  Recorded r;
  Record(bar, r);
  test::Click(bar, {150, 10});
  test::Click(bar, {50, 10}, Qt::LeftButton, Qt::ShiftModifier);
  test::Click(bar, {50, 10}, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
  test::Click(bar, {150, 10}, Qt::RightButton);
  EXPECT_EQ(r.clicked, (std::vector<std::vector<int>>{{4, 1}}));
  EXPECT_EQ(r.shifted, (std::vector<std::vector<int>>{{4, 0, 1}, {4, 0, 3}}));
  EXPECT_EQ(r.right, (std::vector<std::vector<int>>{{4, 1}}));
}

TEST(UCButtons, PressDraggedOffItsButtonOrOnADisabledOneIsNoClick) {
  UC_Buttons bar;
  bar.SetNumButtons(2);
  bar.resize(200, 24);
  Recorded r;
  Record(bar, r);
  test::Press(bar, {50, 10});
  test::Release(bar, {150, 10});
  bar.SetButtonDisable(0, true);
  test::Click(bar, {50, 10});
  EXPECT_TRUE(r.clicked.empty());
  EXPECT_TRUE(bar.GetButtonDisable(0));
}

TEST(UCButtons, KeyboardStartsOnOkAndMovesWithArrows) {
  UC_Buttons bar;
  bar.SetOKCancel();
  Recorded r;
  Record(bar, r);
  test::Key(bar, Qt::Key_Return);
  test::Key(bar, Qt::Key_Left);
  test::Key(bar, Qt::Key_Space);
  test::Key(bar, Qt::Key_Left);  // already at the first button: stays
  test::Key(bar, Qt::Key_Enter, Qt::ShiftModifier);
  EXPECT_EQ(r.clicked, (std::vector<std::vector<int>>{{0, 1}, {0, 0}}));
  EXPECT_EQ(r.shifted, (std::vector<std::vector<int>>{{0, 0, 1}}));
}

TEST(UCButtons, StatesCaptionsAndTheirBounds) {
  UC_Buttons bar;
  bar.SetNumButtons(3);
  bar.SetButtonState(2, 2);
  bar.SetButtonOn(0, true);
  bar.SetButtonOn(0, false);
  EXPECT_EQ(bar.GetButtonState(2), 2);
  EXPECT_FALSE(bar.GetButtonOn(0));
  bar.SetButtonChar(7, "x");  // outside: ignored
  EXPECT_EQ(bar.GetButtonChar(7), "");
  bar.SetButtonCharNum(1);
  EXPECT_EQ(bar.GetButtonChar(2), "3");
  bar.SetNumButtons(1);  // the first keeps its caption
  EXPECT_EQ(bar.GetButtonChar(0), "1");
}

}  // namespace
}  // namespace varn
