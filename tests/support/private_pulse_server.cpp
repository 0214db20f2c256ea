#include "support/private_pulse_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "support/run_command.h"
#include "support/wait_for.h"

extern char** environ;

namespace varn::test {

PrivatePulseServer::PrivatePulseServer(const std::string& sinkName,
                                       const std::string& description) {
  std::string pattern = "/tmp/varn-pulse-test.XXXXXX";
  if (!mkdtemp(pattern.data())) return;
  dir_ = pattern;
  std::vector<std::string> env{"XDG_RUNTIME_DIR=" + dir_, "HOME=" + dir_};
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0 && std::strncmp(*e, "HOME=", 5) != 0 &&
        std::strncmp(*e, "PULSE_", 6) != 0)
      env.emplace_back(*e);
  const std::vector<std::string> args{
      "pulseaudio",
      "-n",
      "--daemonize=no",
      "--exit-idle-time=-1",
      "--use-pid-file=no",
      "--log-target=file:" + dir_ + "/log",
      "-L",
      "module-native-protocol-unix socket=" + dir_ + "/native auth-anonymous=1",
      "-L",
      "module-null-sink sink_name=" + sinkName +
          " sink_properties=device.description=" + description};
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data()) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pid_ > 0) WaitFor([this] { return std::filesystem::exists(dir_ + "/native"); }, 10);
}

PrivatePulseServer::~PrivatePulseServer() {
  Kill();
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

bool PrivatePulseServer::Running() const {
  return pid_ > 0 && std::filesystem::exists(dir_ + "/native");
}

std::string PrivatePulseServer::Address() const { return "unix:" + dir_ + "/native"; }

int PrivatePulseServer::Pactl(const std::string& args) const {
  return RunCommand("pactl -s " + Address() + " " + args + " >/dev/null 2>&1").exitCode;
}

void PrivatePulseServer::Freeze(bool frozen) {
  if (pid_ > 0) ::kill(pid_, frozen ? SIGSTOP : SIGCONT);
}

void PrivatePulseServer::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace varn::test
