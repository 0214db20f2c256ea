#pragma once
// A program a test starts in the background (a player, a recorder), with
// its standard output going to a file, and stops again.

#include <sys/types.h>

#include <string>
#include <vector>

namespace varn::test {

class ChildProcess {
 public:
  // Starts args[0] (looked up on PATH) with the rest as its arguments;
  // `outputFile` (empty: /dev/null) receives its standard output.
  explicit ChildProcess(const std::vector<std::string>& args, const std::string& outputFile = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // SIGTERM, then waits; returns the exit status (-1 when not started).
  int Stop();

 private:
  pid_t pid_ = -1;
};

}  // namespace varn::test
