#pragma once
// The monitor without windows, for a rack server, a service manager or a
// container: start-up as the window does it, every channel started, each
// event line printed to standard output as it is written to the event file,
// the settings file read again on SIGHUP, and a clean shutdown on SIGINT or
// SIGTERM (or after a set time).

#include <iosfwd>
#include <string>

namespace varn {

// Exit status when another monitor runs on the same program folder.
inline constexpr int kExitAlreadyRunning = 3;
// Exit status when the data folder cannot be made or written: nothing the
// monitor did would reach the disk.
inline constexpr int kExitDataFolderFailed = 2;
// Exit status when the HTTP listener's settings cannot be used (a users
// or TLS file, two listen keys that differ): the program would be open in
// a way the operator did not ask for.
inline constexpr int kExitBadListener = 2;

struct HeadlessOptions {
  std::string appFolder;       // empty: the executable's folder
  std::string audio = "auto";  // pulse, sim or auto
  double durationSec = 0.0;    // > 0: shut down after this long
  std::string metricsListen;   // --http or --metrics [ADDR:]PORT; empty: the settings
};

// Runs until a stop signal (or the duration) and returns the exit status:
// 0 after a clean shutdown, kExitAlreadyRunning for a second instance,
// kExitDataFolderFailed when the data folder cannot be made or written.
int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

}  // namespace varn
