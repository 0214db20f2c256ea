// varn: the command line. Without a subcommand it starts the monitor.

#include <cstdlib>
#include <iostream>

#include "app/commands.h"
#include "engine/headless_runner.h"

int main(int argc, char** argv) {
  CLI::App app{"varn: watches up to eight audio lines for over-level, low level, click noise "
               "and spectrum change, logs every event and archives the audio."};
  app.set_version_flag("--version", std::string("varn ") + VARN_VERSION);
  varn::CommonOptions options;
  if (const char* audio = std::getenv("VARN_AUDIO"); audio && *audio) options.audio = audio;
  app.add_option("--app-folder", options.appFolder,
                 "Program folder (settings file varn.ini, data folder); default: the "
                 "executable's folder");
  app.add_option("--audio", options.audio, "Audio backend: pulse, sim or auto")
      ->check(CLI::IsMember({"pulse", "sim", "auto"}));
  bool headless = false;
  double duration = 0.0;
  app.add_flag("--headless", headless,
               "Run the monitor without windows: every channel starts, event lines go to "
               "standard output, SIGINT or SIGTERM stops it cleanly");
  app.add_option("--duration", duration, "Stop the monitor after this many seconds")
      ->check(CLI::PositiveNumber);
  app.require_subcommand(0, 1);
  int exitCode = 0;
  varn::AddRegisteredCommands(app, options, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  if (!app.get_subcommands().empty()) return exitCode;

  if (!headless) {
    // The monitor window comes in a later build; until then, and always
    // without a display, the monitor runs without windows.
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland))
      std::cerr << "varn: no display; running the monitor without windows (--headless)\n";
    else
      std::cerr << "varn: this build has no monitor window yet; running without windows "
                   "(--headless)\n";
  }
  varn::HeadlessOptions headlessOptions;
  headlessOptions.appFolder = options.appFolder;
  headlessOptions.audio = options.audio;
  headlessOptions.durationSec = duration;
  return varn::RunHeadless(headlessOptions, std::cout, std::cerr);
}
