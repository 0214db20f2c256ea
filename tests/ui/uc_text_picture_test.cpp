// The text label: cells side by side, and the press and release of a mouse
// button reported per cell as the channel name label needs them.

#include "ui/controls/uc_text_picture.h"

#include <gtest/gtest.h>

#include <vector>

#include "qstring_print.h"
#include "ui/twips.h"
#include "widget_input.h"

namespace varn {
namespace {

TEST(UCTextPicture, PressAndReleaseReportCellDownFlagAndButton) {
  SetTwipsPerPixel(15);
  UC_TextPicture label;
  label.resize(200, 20);
  label.AddTextSpace(1500);  // cell 1: 100 pixels, cell 0 takes the rest
  std::vector<std::vector<int>> events;
  label.onMouseUD = [&](int cell, int down, int button) { events.push_back({cell, down, button}); };
  test::Press(label, {150, 5}, Qt::RightButton);
  test::Release(label, {150, 5}, Qt::RightButton);
  test::Click(label, {20, 5});
  EXPECT_EQ(events, (std::vector<std::vector<int>>{{1, -1, 2}, {1, 0, 2}, {0, -1, 1}, {0, 0, 1}}));
  label.SetLocked(true);
  test::Click(label, {20, 5});
  EXPECT_EQ(events.size(), 4u);
}

TEST(UCTextPicture, TextsAndColoursPerCellAndResetMe) {
  UC_TextPicture label;
  label.AddTextSpace(0);
  label.DispMes("系統名1");
  label.DispMes("ch2", 1, label.AddColorSet(0x0000FF));
  EXPECT_EQ(label.TextMes(0), "系統名1");
  EXPECT_EQ(label.TextMes(1), "ch2");
  label.DispMes("x", 5);  // no such cell: ignored
  label.ResetMe();
  EXPECT_EQ(label.NumCells(), 1);
  EXPECT_EQ(label.TextMes(0), "");
}

}  // namespace
}  // namespace varn
