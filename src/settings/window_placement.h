#pragma once
// Window position, size and state kept in the settings, as functions over a
// plain geometry value so the rules hold without a window.

#include <string_view>

namespace varn {

enum class WindowState : int { Normal = 0, Minimised = 1, Maximised = 2 };

// Everything in twips (1/1440 inch), the unit the settings are kept in.
struct WindowGeometry {
  int left = 0;
  int top = 0;
  float width = 0;
  float height = 0;
  WindowState state = WindowState::Normal;
};

struct ScreenExtent {
  int widthTwips = 0;
  int heightTwips = 0;
};

struct PlacementSkips {
  bool size = false;
  bool state = false;
  bool position = false;
};

// The placement read from the settings under `prefix` ("" for the main
// window, "Log" for the log window), starting from the current geometry. A
// position off the screen (negative, or beyond its width or height) becomes
// 0; sizes are taken as stored.
WindowGeometry RestoreWindowPlacement(const WindowGeometry& current, std::string_view prefix,
                                      ScreenExtent screen, PlacementSkips skip = {});

// Stores the placement. A minimised or maximised window writes only its
// state, so the last normal position and size survive.
void SaveWindowPlacement(const WindowGeometry& current, std::string_view prefix,
                         PlacementSkips skip = {});

}  // namespace varn
