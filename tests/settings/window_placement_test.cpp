#include "settings/window_placement.h"

#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

class WindowPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteText(app / "varn.ini", "[conf]\n");
    store.ChooseAtStartup();
    SetActiveStore(&store);
  }
  void TearDown() override { SetActiveStore(nullptr); }
  test::TempDir app;
  test::TempDir home;
  SettingsStore store{app.Path(), home.Path()};
  const ScreenExtent screen{19200, 10800};
};

TEST_F(WindowPlacementTest, APositionOffTheScreenComesBackAtZero) {
  WriteSetting("WindowLeft", "30000");
  WriteSetting("WindowTop", "-200");
  const WindowGeometry g = RestoreWindowPlacement({100, 100, 9000, 7000}, "", screen);
  EXPECT_EQ(g.left, 0);
  EXPECT_EQ(g.top, 0);
  EXPECT_FLOAT_EQ(g.width, 9000);  // nothing stored: the current size stays
}

TEST_F(WindowPlacementTest, AMaximisedWindowKeepsItsLastNormalGeometry) {
  SaveWindowPlacement({1200, 900, 12000.5f, 8000, WindowState::Normal}, "");
  SaveWindowPlacement({0, 0, 19200, 10800, WindowState::Maximised}, "");
  const WindowGeometry g = RestoreWindowPlacement({0, 0, 5000, 5000}, "", screen);
  EXPECT_EQ(g.left, 1200);
  EXPECT_EQ(g.top, 900);
  EXPECT_FLOAT_EQ(g.width, 12000.5f);
  EXPECT_FLOAT_EQ(g.height, 8000);
  EXPECT_EQ(g.state, WindowState::Maximised);
}

TEST_F(WindowPlacementTest, TheLogWindowNeverStoresItsState) {
  SaveWindowPlacement({10, 20, 3000, 4000, WindowState::Minimised}, "Log", {.state = true});
  SaveWindowPlacement({10, 20, 3000, 4000, WindowState::Normal}, "Log", {.state = true});
  const std::string text = test::ReadText(app / "varn.ini");
  EXPECT_NE(text.find("LogWindowLeft=10"), std::string::npos);
  EXPECT_EQ(text.find("LogWindowState"), std::string::npos);
  EXPECT_EQ(text.find("\nWindowLeft"), std::string::npos);
}

TEST_F(WindowPlacementTest, HandEditedValuesFallBackToTheCurrentGeometry) {
  WriteSetting("WindowLeft", "left");
  WriteSetting("WindowWidth", "");
  WriteSetting("WindowState", "7");
  WriteSetting("WindowTop", "1500.5");
  const WindowGeometry g = RestoreWindowPlacement({300, 400, 6000, 5000}, "", screen);
  EXPECT_EQ(g.left, 300);
  EXPECT_EQ(g.top, 1500);  // halves to even
  EXPECT_FLOAT_EQ(g.width, 6000);
  EXPECT_EQ(g.state, WindowState::Normal);
}

TEST_F(WindowPlacementTest, SkipsLeaveTheirPartsAlone) {
  WriteSetting("WindowLeft", "500");
  WriteSetting("WindowHeight", "7777");
  WriteSetting("WindowState", "2");
  const WindowGeometry g = RestoreWindowPlacement({1, 2, 3000, 4000}, "", screen,
                                                  {.size = true, .state = true, .position = true});
  EXPECT_EQ(g.left, 1);
  EXPECT_FLOAT_EQ(g.height, 4000);
  EXPECT_EQ(g.state, WindowState::Normal);
}

}  // namespace
}  // namespace varn
