#pragma once
// The subcommands of the varn executable. Each command file registers itself
// with a static CommandRegistration, so adding a command touches only its
// own file and the executable's source list.

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace varn {

struct CommonOptions {
  std::string appFolder;       // --app-folder: the program folder, else the executable's
  std::string audio = "auto";  // --audio pulse|sim|auto (or VARN_AUDIO)
};

// Adds one subcommand to `app`. The subcommand's callback stores its exit
// status in `exitCode`.
using CommandSetup =
    std::function<void(CLI::App& app, const CommonOptions& options, int& exitCode)>;

struct CommandRegistration {
  CommandRegistration(int order, CommandSetup setup);
};

// Every registered command, in `order`.
void AddRegisteredCommands(CLI::App& app, const CommonOptions& options, int& exitCode);

// What to tell the operator when a command fails on a file: the file and the
// system's reason when an open, read or write failed on the way ("cannot
// create /proc/x.mp3: No such file or directory"), else `fallback`.
std::string FileFailure(const std::string& fallback);

}  // namespace varn
