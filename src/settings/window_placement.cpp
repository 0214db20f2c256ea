#include "settings/window_placement.h"

#include <string>

#include "settings/setting_value.h"
#include "settings/settings_store.h"
#include "util/text.h"

namespace varn {

namespace {
std::string Key(std::string_view prefix, std::string_view name) {
  return std::string(prefix) + std::string(name);
}
}  // namespace

WindowGeometry RestoreWindowPlacement(const WindowGeometry& current, std::string_view prefix,
                                      ScreenExtent screen, PlacementSkips skip) {
  WindowGeometry g = current;
  if (g.state == WindowState::Normal) {
    if (!skip.position) {
      g.left = ReadIntSetting(Key(prefix, "WindowLeft"), g.left);
      g.top = ReadIntSetting(Key(prefix, "WindowTop"), g.top);
      if (g.left < 0 || g.left > screen.widthTwips) g.left = 0;
      if (g.top < 0 || g.top > screen.heightTwips) g.top = 0;
    }
    if (!skip.size) {
      g.height = ReadRealSetting(Key(prefix, "WindowHeight"), g.height);
      g.width = ReadRealSetting(Key(prefix, "WindowWidth"), g.width);
    }
  }
  if (!skip.state) {
    const int s = ReadShortSetting(Key(prefix, "WindowState"), static_cast<int16_t>(g.state));
    if (s >= 0 && s <= 2) g.state = static_cast<WindowState>(s);
  }
  return g;
}

void SaveWindowPlacement(const WindowGeometry& current, std::string_view prefix,
                         PlacementSkips skip) {
  if (current.state == WindowState::Normal) {
    WriteSetting(Key(prefix, "WindowLeft"), static_cast<float>(current.left));
    WriteSetting(Key(prefix, "WindowTop"), static_cast<float>(current.top));
    if (!skip.size) {
      WriteSetting(Key(prefix, "WindowHeight"), current.height);
      WriteSetting(Key(prefix, "WindowWidth"), current.width);
    }
  }
  if (!skip.state) WriteSetting(Key(prefix, "WindowState"), static_cast<int16_t>(current.state));
}

}  // namespace varn
