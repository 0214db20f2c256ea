#include "app/commands.h"

#include "archive/file_access.h"

#include <algorithm>
#include <vector>

namespace varn {

namespace {
struct Entry {
  int order;
  CommandSetup setup;
};
std::vector<Entry>& Registry() {
  static std::vector<Entry> entries;
  return entries;
}
}  // namespace

CommandRegistration::CommandRegistration(int order, CommandSetup setup) {
  Registry().push_back({order, std::move(setup)});
}

void AddRegisteredCommands(CLI::App& app, const CommonOptions& options, int& exitCode) {
  auto& entries = Registry();
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.order < b.order; });
  for (const auto& e : entries) e.setup(app, options, exitCode);
}

std::string FileFailure(const std::string& fallback) {
  const std::string reason = LastFileError();
  return reason.empty() ? fallback : reason;
}

}  // namespace varn
