#pragma once
// The monitor with its window: the Qt application, the shared start-up
// steps, the main window and its event loop.

#include <string>

namespace varn {

struct WindowOptions {
  std::string appFolder;
  std::string audio = "auto";
  std::string metricsListen;  // --metrics [ADDR:]PORT; empty: the MetricsListen setting
};

// Runs until the window closes; returns the exit status (3 when another
// monitor runs on the same program folder, without a window).
int RunWindow(const WindowOptions& options, int& argc, char** argv);

}  // namespace varn
