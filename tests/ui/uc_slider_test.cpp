// The slider as the list's scroll bar: the value stays within Min and Max
// whoever moves it, and only the user's moves raise Scrolled.

#include "ui/controls/uc_slider.h"

#include <gtest/gtest.h>

#include "widget_input.h"

namespace varn {
namespace {

TEST(UCSlider, KeysAndClicksMoveWithinTheRangeAndRaise) {
  UC_Slider bar;
  bar.resize(16, 200);
  bar.SetMax(50);
  bar.SetLargeChange(20);
  int scrolled = 0;
  bar.onScrolled = [&] { ++scrolled; };
  test::Key(bar, Qt::Key_Down);
  test::Key(bar, Qt::Key_PageDown);
  EXPECT_EQ(bar.Value(), 21);
  test::Key(bar, Qt::Key_End);
  test::Key(bar, Qt::Key_Down);  // at the end: no move, no event
  EXPECT_EQ(bar.Value(), 50);
  EXPECT_EQ(scrolled, 3);
  test::Press(bar, {8, 5});  // the upper arrow
  test::Release(bar, {8, 5});
  EXPECT_EQ(bar.Value(), 49);
  EXPECT_EQ(scrolled, 4);
}

TEST(UCSlider, CodeClampsWithoutRaisingAndRefuseInputLocksTheUser) {
  UC_Slider bar;
  bar.resize(16, 200);
  int scrolled = 0;
  bar.onScrolled = [&] { ++scrolled; };
  bar.SetMax(10);
  bar.SetValue(99);
  EXPECT_EQ(bar.Value(), 10);
  bar.SetMax(4);
  EXPECT_EQ(bar.Value(), 4);
  bar.SetMin(8);  // Max follows Min up
  EXPECT_EQ(bar.Max(), 8);
  EXPECT_EQ(bar.Value(), 8);
  bar.SetMin(0);
  bar.SetRefuseInput(true);
  test::Key(bar, Qt::Key_Home);
  EXPECT_EQ(bar.Value(), 8);
  EXPECT_EQ(scrolled, 0);
}

TEST(UCSlider, DraggingTheThumbToTheEndReachesMax) {
  UC_Slider bar;
  bar.resize(16, 216);  // arrows 16 each, track 184
  bar.SetMax(100);
  bar.SetPointerSize(25);
  const int thumbCentre = 16 + 10;
  test::Press(bar, {8, thumbCentre});
  test::Drag(bar, {8, 400});
  test::Release(bar, {8, 400});
  EXPECT_EQ(bar.Value(), 100);
}

}  // namespace
}  // namespace varn
