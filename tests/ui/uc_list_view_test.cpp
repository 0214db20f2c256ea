// The list control as the log window drives it: where rows go in and out
// and what happens to the selection, cells addressed by the selected row,
// the wheel, keys and Refresh moving the view, and column widths dragged by
// the user.

#include "ui/controls/uc_list_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "qstring_print.h"
#include "ui/controls/uc_slider.h"
#include "ui/twips.h"
#include "widget_input.h"

namespace varn {
namespace {

class UCListViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    list.SetNumData(3);
    list.SetOneHeight(300);  // 20 pixels
    list.Init();
    list.InitTab();
    for (int c = 0; c < 3; ++c) list.SetTabWidth(c, 900);
    list.resize(300, 24 + 10 * 20);  // frame, tab row and ten rows (with OneHeight 300)
  }
  void Fill(int rows) {
    for (int i = 0; i < rows; ++i) {
      list.InsertItem(list.ItemCount(), 1);
      list.SetValue(list.ItemCount() - 1, 0, i);
    }
    list.Refresh();
  }
  std::vector<int> Column0() const {
    std::vector<int> v;
    for (int r = 0; r < list.ItemCount(); ++r) v.push_back(list.Value(r, 0).toInt());
    return v;
  }

  UC_ListView list;
};

TEST_F(UCListViewTest, InsertPutsRowsBeforeTheIndexAndTheSelectionMovesWithItsRow) {
  Fill(3);
  list.SetSelectedItem(1);
  list.InsertItem(1, 0);  // 0 means one row
  EXPECT_EQ(list.ItemCount(), 4);
  EXPECT_EQ(list.SelectedItem(), 2);
  list.InsertItem(-1, 2);  // at the selected row
  EXPECT_EQ(list.SelectedItem(), 4);
  EXPECT_EQ(list.Value(4, 0).toInt(), 1);
  list.InsertItem(7, 1);  // beyond the end (6 rows)
  list.InsertItem(-2, 1);
  EXPECT_EQ(list.ItemCount(), 6);
  list.InsertItem(6, 1);  // at the end is allowed
  EXPECT_EQ(list.ItemCount(), 7);
  list.UnSelectAll();
  list.InsertItem(-1, 1);  // no selection: nowhere to insert
  EXPECT_EQ(list.ItemCount(), 7);
}

TEST_F(UCListViewTest, DeleteClosesTheGapAndKeepsTheSelectionOnItsRow) {
  Fill(5);
  list.SetSelectedItem(3);
  list.DeleteItem(1);
  EXPECT_EQ(Column0(), (std::vector<int>{0, 2, 3, 4}));
  EXPECT_EQ(list.SelectedItem(), 2);
  list.DeleteItem(3);  // below the selection: it stays
  EXPECT_EQ(list.SelectedItem(), 2);
  list.DeleteItem(-1);
  EXPECT_EQ(Column0(), (std::vector<int>{0, 2}));
  EXPECT_EQ(list.SelectedItem(), -1);
  list.DeleteItem(-1);
  list.DeleteItem(2);
  EXPECT_EQ(list.ItemCount(), 2);
}

TEST_F(UCListViewTest, ValueOfTheSelectedRowAndOutsideTheData) {
  Fill(2);
  list.SetValue(-1, 1, "none selected");
  list.SetSelectedItem(1);
  list.SetValue(-1, 2, "内容");
  list.SetValue(1, 3, "no such column");
  list.SetValue(2, 0, "no such row");
  EXPECT_EQ(list.Value(1, 2).toString(), "内容");
  EXPECT_EQ(list.SelectedData(2).toString(), "内容");
  EXPECT_FALSE(list.Value(0, 1).isValid());
  EXPECT_FALSE(list.Value(1, 3).isValid());
  EXPECT_EQ(list.ItemCount(), 2);
}

TEST_F(UCListViewTest, WheelNotchesMoveThreeRowsWithinTheBar) {
  Fill(30);
  ASSERT_TRUE(list.VBarShown());
  const int last = 30 - list.VisibleRows();
  list.VBarScroll(1);
  EXPECT_EQ(list.TopItem(), 3);
  list.VBarScroll(-5);
  EXPECT_EQ(list.TopItem(), 0);
  list.VBarScroll(100);
  EXPECT_EQ(list.TopItem(), last);
  EXPECT_EQ(list.VBar()->Value(), last);
  list.Refresh();  // back to the first row
  EXPECT_EQ(list.TopItem(), 0);
}

TEST_F(UCListViewTest, WithoutAVerticalBarTheWheelDoesNothing) {
  Fill(3);
  EXPECT_FALSE(list.VBarShown());
  list.VBarScroll(1);
  EXPECT_EQ(list.TopItem(), 0);
  list.SetVbarDisabled(true);
  Fill(40);
  list.VBarScroll(1);
  EXPECT_EQ(list.TopItem(), 0);
}

TEST_F(UCListViewTest, KeysScrollByRowPageAndToTheEnds) {
  Fill(40);
  const int page = list.VisibleRows();
  test::Key(list, Qt::Key_Down);
  test::Key(list, Qt::Key_PageDown);
  EXPECT_EQ(list.TopItem(), 1 + page);
  test::Key(list, Qt::Key_End);
  EXPECT_EQ(list.TopItem(), 40 - page);
  test::Key(list, Qt::Key_Up);
  EXPECT_EQ(list.TopItem(), 39 - page);
  test::Key(list, Qt::Key_Home);
  EXPECT_EQ(list.TopItem(), 0);
}

TEST_F(UCListViewTest, DraggingATabBorderChangesThatColumnsWidth) {
  std::vector<int> moved;
  list.onTabMoved = [&](int column, int width) { moved = {column, width}; };
  const QRect first = list.ColumnRect(1);
  const int border = first.left() + first.width();
  const int y = list.HeaderRect().center().y();
  ASSERT_EQ(list.TabBorderAt({border, y}), 1);
  test::Press(list, {border, y});
  test::Drag(list, {border + 20, y});
  test::Release(list, {border + 30, y});
  EXPECT_EQ(list.TabWidth(1), 900 + 30 * 15);
  EXPECT_EQ(list.TabWidth(0), 900);
  EXPECT_EQ(moved, (std::vector<int>{1, 1350}));
}

TEST_F(UCListViewTest, TabClicksSortOnlyWhenAllowed) {
  Fill(3);
  const QPoint tab = list.ColumnRect(0).center();
  const QPoint inTabRow(tab.x(), list.HeaderRect().center().y());
  list.SetSortDisabled(true);
  test::Click(list, inTabRow);
  EXPECT_EQ(Column0(), (std::vector<int>{0, 1, 2}));
  list.SetSortDisabled(false);
  list.SetDataNumeric(true);
  test::Click(list, inTabRow);
  test::Click(list, inTabRow);  // the second click sorts the other way
  EXPECT_EQ(Column0(), (std::vector<int>{2, 1, 0}));
}

TEST_F(UCListViewTest, RowsAreHighEnoughForTheFont) {
  UC_ListView tight;
  tight.SetOneHeight(30);  // two pixels: far too low
  tight.Init();
  tight.InitTab();
  EXPECT_GE(tight.RowHeightPixels(), 10);
  EXPECT_EQ(tight.OneHeight() % 15, 0);
}

}  // namespace
}  // namespace varn
