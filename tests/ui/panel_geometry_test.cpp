#include "ui/main_window/panel_geometry.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

PanelLayoutInput Screen(int channels, int maxNumX) {
  PanelLayoutInput in;
  in.clientWidth = 1600 * 15;
  in.clientHeight = 1000 * 15;
  in.channels = channels;
  in.maxNumX = maxNumX;
  return in;
}

TEST(PanelGeometry, FiveChannelsWithFourAcrossWrapToASecondRow) {
  const PanelLayout l = LayoutPanels(Screen(5, 4));
  EXPECT_EQ(l.columns, 4);
  EXPECT_EQ(l.rows, 2);
  ASSERT_EQ(l.panels.size(), 5u);
  // Channel 4 starts the second row under channel 0.
  EXPECT_EQ(l.panels[4].meter.left, l.panels[0].meter.left);
  EXPECT_EQ(l.panels[4].buttons.top, l.all.height / 2 + 16 * 15 / 2);
  // A row's panels share their tops; the frames stack 2 pixels apart.
  EXPECT_EQ(l.panels[3].meter.top, l.panels[0].meter.top);
  EXPECT_EQ(l.panels[0].waveFrame.top, l.panels[0].meter.Bottom() + 30);
  EXPECT_EQ(l.panels[0].scale.top, l.panels[0].fftFrame.Bottom() + 30);
  // The second row's parts stay inside its half of the container.
  EXPECT_LE(l.panels[0].scale.Bottom(), l.all.height / 2);
}

TEST(PanelGeometry, ThreeChannelsShareOneRowInThirds) {
  const PanelLayout l = LayoutPanels(Screen(3, 4));
  EXPECT_EQ(l.rows, 1);
  EXPECT_EQ(l.columns, 3);
  const int m = 16 * 15;
  EXPECT_EQ(l.panelWidth, (l.all.width - 4 * m) / 3);
  EXPECT_EQ(l.panels[1].meter.left, l.panelWidth + 2 * m);
  EXPECT_EQ(l.panels[2].meter.left, 2 * (l.panelWidth + m) + m);
  EXPECT_LE(l.panels[2].meter.Right(), l.all.width - m);
  // The name fills the top strip to the panel's right edge.
  EXPECT_EQ(l.panels[2].name.Right(), l.panels[2].meter.Right());
  EXPECT_EQ(l.panels[0].fftView.height, l.panels[0].fftFrame.height - 6 * 15);
}

TEST(PanelGeometry, TheNameMovesLeftWhenButtonsAndFiguresAreHidden) {
  PanelLayoutInput in = Screen(1, 4);
  in.showRecButton = false;
  in.showLevelValues = false;
  const PanelLayout l = LayoutPanels(in);
  EXPECT_EQ(l.panels[0].name.left, l.panels[0].meter.left);
}

}  // namespace
}  // namespace varn
