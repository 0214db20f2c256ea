#pragma once
// Where every channel panel goes: the grid of rows and columns and the
// rectangles of each panel's parts, all in twips, worked out from the
// window's client size once when the panels are built. A pure function, so
// the layout rules hold without a window.

#include <vector>

namespace varn {

struct TwipRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
};

struct PanelLayoutInput {
  int clientWidth = 0;   // twips
  int clientHeight = 0;  // twips
  int twipsPerPixel = 15;
  int channels = 1;
  int maxNumX = 4;
  bool showRecButton = true;
  bool showLevelValues = true;
  // Sizes of the fixed-size parts, twips.
  int buttonWidth = 900;
  int buttonHeight = 540;  // the top strip: buttons, two rows of figures, the name
  int levelBoxWidth = 2900;
  int scaleHeight = 240;
};

struct PanelRects {
  TwipRect buttons;    // the record and monitor buttons
  TwipRect levelBox;   // the level figures
  TwipRect name;       // the channel name
  TwipRect meter;      // also the meter's background image
  TwipRect waveFrame;  // black frame; the view is 3 pixels in
  TwipRect waveView;
  TwipRect fftFrame;
  TwipRect fftView;
  TwipRect scale;  // the frequency scale strip
};

struct PanelLayout {
  float panelScale = 1.0f;  // usable height relative to 1080 pixels
  int columns = 1;
  int rows = 1;
  TwipRect all;  // the container of every panel, relative to the client area
  int panelWidth = 0;
  std::vector<PanelRects> panels;  // relative to `all`
};

// The margin between panels, in pixels.
inline constexpr int kPanelMarginPixels = 16;
// The height kept for the menu buttons above the panels, in pixels.
inline constexpr int kMenuBarPixels = 48;

PanelLayout LayoutPanels(const PanelLayoutInput& in);

}  // namespace varn
