// varn passwd NAME: a line for the web console's users file (HttpUsersFile),
// "NAME:HASH", with the password read from standard input: asked twice
// without echo on a terminal, else the first line.

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "app/commands.h"
#include "ops/web/password_hash.h"

namespace varn {
namespace {

// One line typed without echo, after `prompt` on standard error.
bool AskHidden(const char* prompt, std::string& line) {
  std::cerr << prompt << std::flush;
  termios saved{};
  const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  const bool ok = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::cerr << "\n";
  return ok;
}

int RunPasswd(const std::string& name) {
  if (name.empty() || name.find_first_of(":\r\n") != std::string::npos) {
    std::cerr << "varn: passwd: NAME must not be empty or hold ':' or a line end\n";
    return 2;
  }
  std::string password;
  if (isatty(STDIN_FILENO)) {
    std::string again;
    if (!AskHidden("Password: ", password) || !AskHidden("Again: ", again)) return 2;
    if (password != again) {
      std::cerr << "varn: passwd: the two passwords differ\n";
      return 2;
    }
  } else if (!std::getline(std::cin, password)) {
    std::cerr << "varn: passwd: no password on standard input\n";
    return 2;
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.empty()) {
    std::cerr << "varn: passwd: the password is empty\n";
    return 2;
  }
  const std::string hash = HashPassword(password);
  if (hash.empty()) {
    std::cerr << "varn: passwd: libcrypt could not make a hash\n";
    return 1;
  }
  std::cout << name << ':' << hash << "\n";
  return 0;
}

const CommandRegistration kPasswd(90, [](CLI::App& app, const CommonOptions&, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "passwd",
      "Print a users-file line (NAME:HASH) for the web console's HttpUsersFile; the password "
      "is read from standard input (twice without echo on a terminal)");
  auto name = std::make_shared<std::string>();
  cmd->add_option("NAME", *name, "User name")->required();
  cmd->callback([name, &exitCode] { exitCode = RunPasswd(*name); });
});

}  // namespace
}  // namespace varn
