// varn archive ...: the commands on the archive files. Each subcommand
// lives in its own cmd_archive_*.cpp and registers with the group.

#include "app/archive_commands.h"

namespace varn {
namespace {

const CommandRegistration kArchive(60, [](CLI::App& app, const CommonOptions& options,
                                          int& exitCode) {
  auto* group = app.add_subcommand("archive", "List and look after the archive files");
  group->require_subcommand(1);
  AddArchiveCommands(*group, options, exitCode);
});

}  // namespace
}  // namespace varn
