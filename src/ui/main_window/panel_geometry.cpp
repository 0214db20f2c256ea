#include "ui/main_window/panel_geometry.h"

#include <algorithm>

namespace varn {

PanelLayout LayoutPanels(const PanelLayoutInput& in) {
  PanelLayout out;
  const int p = in.twipsPerPixel > 0 ? in.twipsPerPixel : 15;
  const int m = kPanelMarginPixels * p;
  const int n = std::max(in.channels, 1);
  const int maxX = std::max(in.maxNumX, 1);

  out.panelScale = static_cast<float>((in.clientHeight - kMenuBarPixels * p) / p) / 1080.0f;
  out.all =
      TwipRect{m / 2, kMenuBarPixels * p, in.clientWidth - m, in.clientHeight - kMenuBarPixels * p};
  if (n <= maxX) {
    out.rows = 1;
    out.columns = n;
  } else {
    out.columns = maxX;
    out.rows = (n - 1) / maxX + 1;
  }
  const int c = out.columns;
  const int r = out.rows;
  const int w = (out.all.width - m * (c + 1)) / c;
  out.panelWidth = w;
  const int meterHeight = static_cast<int>((1600 / r + 1200) * out.panelScale);
  const int h = std::max(
      out.all.height / r - in.buttonHeight - meterHeight - in.scaleHeight - 8 * p - 2 * m, 300);
  const int frameHeight = h / 2;

  for (int ch = 0; ch < n; ++ch) {
    const int column = ch % maxX;
    const int row = ch / maxX;
    PanelRects rects;
    const int left = (w + m) * column + m;
    // Every panel of a row takes its tops from the row's first panel; they
    // depend on the row alone.
    const int stripTop = out.all.height / r * row + m / 2;
    rects.buttons = TwipRect{left, stripTop, in.buttonWidth, in.buttonHeight};
    int next = left;
    if (in.showRecButton) next = rects.buttons.Right() + 3 * p;
    rects.levelBox = TwipRect{next, stripTop, in.levelBoxWidth, in.buttonHeight};
    if (in.showLevelValues) next = rects.levelBox.Right() + 3 * p;
    rects.name = TwipRect{next, stripTop, std::max(left + w - next, 600), in.buttonHeight};

    rects.meter = TwipRect{left, stripTop + in.buttonHeight + m / 2, w, meterHeight};
    rects.waveFrame = TwipRect{left, rects.meter.Bottom() + 2 * p, w, frameHeight};
    rects.fftFrame = TwipRect{left, rects.waveFrame.Bottom() + 2 * p, w, frameHeight};
    rects.scale = TwipRect{left, rects.fftFrame.Bottom() + 2 * p, w, in.scaleHeight};
    // The views sit 3 pixels in from their frames' edges.
    const auto inner = [p](const TwipRect& f) {
      return TwipRect{f.left + 3 * p, f.top + 3 * p, f.width - 6 * p, f.height - 6 * p};
    };
    rects.waveView = inner(rects.waveFrame);
    rects.fftView = inner(rects.fftFrame);
    out.panels.push_back(rects);
  }
  return out;
}

}  // namespace varn
