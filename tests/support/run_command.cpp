#include "support/run_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace varn::test {

CommandResult RunCommand(const std::string& commandLine) {
  CommandResult r;
  FILE* pipe = popen(commandLine.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  size_t n = 0;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.output.append(buf, n);
  const int status = pclose(pipe);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace varn::test
