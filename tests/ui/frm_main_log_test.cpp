// The log window as the main window keeps it: loaded hidden before the
// start line, the log command showing and hiding it, and stored with the
// main window's unload.

#include <gtest/gtest.h>

#include <memory>

#include "qstring_print.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "ui/controls/uc_list_view.h"
#include "ui/log_window/frm_log.h"
#include "ui/log_window/log_column_widths.h"
#include "ui/main_window/frm_main.h"

namespace varn {
namespace {

class FrmMainLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteText(dir / "varn.ini", "[conf]\nNumRec=1\nDeviceName_1=Sim Silence\nBitRate_1=0\n");
    ASSERT_TRUE(start.Begin(dir.Path()));
    start.OpenAudio("sim");
    window = std::make_unique<FrmMain>(start);
    window->resize(1400, 900);
    ASSERT_TRUE(window->FormLoad());
    window->TimerStart();
  }

  test::TempDir dir;
  ProgramStart start;
  std::unique_ptr<FrmMain> window;
};

TEST_F(FrmMainLogTest, LoadedHiddenAndGivenEveryLineFromTheStartLineOn) {
  FrmLog* log = window->LogWindow();
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->Loaded());
  EXPECT_FALSE(log->isVisible());
  EXPECT_EQ(log->parentWidget(), window.get());
  ASSERT_GE(log->LV().ItemCount(), 1);
  EXPECT_EQ(log->LV().Value(0, 4).toString(), "**************起動*****************");
  start.Program().Log().LogEvent("プチ音検出 ", 0, 1);
  EXPECT_EQ(log->LV().Value(0, 2).toString(), "ch1");
  EXPECT_EQ(log->LV().Value(0, 3).toString(), "Rch");
}

TEST_F(FrmMainLogTest, TheLogButtonShowsAndHidesIt) {
  window->MenuButtonClicked(3);
  EXPECT_TRUE(window->LogWindow()->isVisible());
  window->MenuButtonClicked(3);
  EXPECT_FALSE(window->LogWindow()->isVisible());
}

TEST_F(FrmMainLogTest, UnloadStoresTheColumnWidthsAndDropsTheWindow) {
  window->LogWindow()->LV().SetTabWidth(4, 4000);
  window->Unload();
  EXPECT_EQ(window->LogWindow(), nullptr);
  EXPECT_EQ(ReadSetting("TabWidth_LV_5", ""), "4000");
  EXPECT_EQ(ReadSetting("TabWidth_LV_1", ""), std::to_string(DefaultLogColumnWidth(0)));
  start.Program().Log().LogEvent("after the end");  // no window to reach: nothing breaks
}

}  // namespace
}  // namespace varn
