#include "util/run_program.h"

#include <spawn.h>
#include <sys/wait.h>

#include <sstream>
#include <thread>
#include <vector>

#include "util/error_catch.h"

extern char** environ;

namespace varn {

double RunProgram(const std::string& program, const std::string& argument, int windowStyle,
                  const std::string& extra) {
  (void)windowStyle;  // a window system concern; the started program decides
  return Trapped(0.0, [&]() -> double {
    if (program.empty()) return 0.0;
    std::vector<std::string> args{program};
    if (!argument.empty()) args.push_back(argument);
    std::istringstream words(extra);
    for (std::string w; words >> w;) args.push_back(w);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
      return 0.0;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return static_cast<double>(pid);
  });
}

}  // namespace varn
