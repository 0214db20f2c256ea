// varn: the command line. Without a subcommand it starts the monitor.

#include <cstdlib>
#include <iostream>

#include "app/commands.h"

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
  app.require_subcommand(0, 1);
  int exitCode = 0;
  varn::AddRegisteredCommands(app, options, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  if (app.get_subcommands().empty()) {
    std::cout << app.help();
    return 0;
  }
  return exitCode;
}
