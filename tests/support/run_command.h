#pragma once
// Runs a command line through /bin/sh for tests of the varn executable.

#include <string>

namespace varn::test {

struct CommandResult {
  int exitCode = -1;
  std::string output;  // stdout only
};

CommandResult RunCommand(const std::string& commandLine);

}  // namespace varn::test
