// varn: the command line. Without a subcommand it starts the monitor.

#include <cstdlib>
#include <iostream>

#include "app/commands.h"
#include "engine/headless_runner.h"
#include "ops/listen_address.h"
#include "ui/services/display_probe.h"
#include "ui/window_runner.h"

int main(int argc, char** argv) {
  CLI::App app{
      "varn: watches up to eight audio lines for over-level, low level, click noise "
      "and spectrum change, logs every event and archives the audio."};
  app.set_version_flag("--version", std::string("varn ") + VARN_VERSION);
  varn::CommonOptions options;
  if (const char* audio = std::getenv("VARN_AUDIO"); audio && *audio) options.audio = audio;
  app.add_option("--app-folder", options.appFolder,
                 "Program folder (settings file varn.ini, data folder); default: the "
                 "executable's folder, or for an installed program (under /usr, or a folder "
                 "the user cannot write) ${XDG_DATA_HOME:-~/.local/share}/varnaudio");
  app.add_option("--audio", options.audio, "Audio backend: pulse, sim or auto")
      ->check(CLI::IsMember({"pulse", "sim", "auto"}));
  bool headless = false;
  double duration = 0.0;
  app.add_flag("--headless", headless,
               "Run the monitor without windows: every channel starts, event lines go to "
               "standard output, SIGINT or SIGTERM stops it cleanly, SIGHUP reloads the "
               "settings file (restarting only the channels whose capture settings changed)");
  app.add_option("--duration", duration, "Stop the monitor after this many seconds")
      ->check(CLI::PositiveNumber);
  std::string metrics;
  app.add_option("--metrics", metrics,
                 "Serve Prometheus metrics on [ADDR:]PORT (default address 127.0.0.1; "
                 "[::1]:PORT for IPv6) at /metrics; the same listener as --http")
      ->type_name("[ADDR:]PORT");
  std::string http;
  app.add_option("--http", http,
                 "Serve the web console and the metrics on [ADDR:]PORT (default address "
                 "127.0.0.1); overrides the HttpListen and MetricsListen settings")
      ->type_name("[ADDR:]PORT");
  app.require_subcommand(0, 1);
  int exitCode = 0;
  varn::AddRegisteredCommands(app, options, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end well; every other parse error is a bad
    // argument, exit status 2 as for the commands' own checks.
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (!app.get_subcommands().empty()) return exitCode;
  for (const char* option : {"--metrics", "--http"}) {
    if (app.count(option) == 0) continue;
    const std::string& value = std::string_view(option) == "--http" ? http : metrics;
    if (const varn::ListenParse p = varn::ParseListenAddress(value); !p.address) {
      std::cerr << "varn: " << option << " " << p.error << "\n";
      return 2;
    }
  }
  // One listener under two names: both given must agree.
  if (app.count("--metrics") > 0 && app.count("--http") > 0 &&
      varn::ParseListenAddress(metrics).address->Text() !=
          varn::ParseListenAddress(http).address->Text()) {
    std::cerr << "varn: --http " << http << " and --metrics " << metrics
              << " differ: they name the same listener, so give one of them\n";
    return 2;
  }
  if (metrics.empty()) metrics = http;

  if (!headless) {
    const varn::DisplayCheck display = varn::CheckDisplay();
    if (display.usable) {
      varn::WindowOptions windowOptions;
      windowOptions.appFolder = options.appFolder;
      windowOptions.audio = options.audio;
      windowOptions.metricsListen = metrics;
      return varn::RunWindow(windowOptions, argc, argv);
    }
    std::cerr << "varn: " << display.reason
              << "; running the monitor without windows (--headless)\n";
  }
  varn::HeadlessOptions headlessOptions;
  headlessOptions.appFolder = options.appFolder;
  headlessOptions.audio = options.audio;
  headlessOptions.durationSec = duration;
  headlessOptions.metricsListen = metrics;
  return varn::RunHeadless(headlessOptions, std::cout, std::cerr);
}
