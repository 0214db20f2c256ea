#include "varn_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/temp_dir.h"
#include "support/wait_for.h"

extern char** environ;

namespace varn::test {

namespace {

using SteadyClock = std::chrono::steady_clock;

// The files of `folder` whose names start with `prefix` and end with `suffix`, sorted.
std::vector<std::string> FilesIn(const std::string& folder, const std::string& prefix,
                                 const std::string& suffix) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(prefix) && name.ends_with(suffix)) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Joined(const std::vector<std::string>& files) {
  std::string text;
  for (const auto& f : files) text += ReadText(f);
  return text;
}

}  // namespace

VarnRun::VarnRun(const std::string& appFolder, const std::vector<std::string>& args,
                 const std::vector<std::string>& env)
    : start_(SteadyClock::now()) {
  // Two runs on one folder (a second instance) keep apart files.
  static int runs = 0;
  const std::string stem = appFolder + "run" + std::to_string(++runs);
  outPath_ = stem + ".out";
  errPath_ = stem + ".err";

  std::vector<std::string> argList{VARN_EXE, "--app-folder", appFolder};
  argList.insert(argList.end(), args.begin(), args.end());
  std::vector<std::string> envList(env);
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    const size_t nameLength = eq ? static_cast<size_t>(eq - *e) + 1 : std::strlen(*e);
    const bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& mine) {
      return mine.compare(0, nameLength, *e, nameLength) == 0;
    });
    if (!replaced) envList.emplace_back(*e);
  }
  std::vector<char*> argv, envp;
  for (auto& a : argList) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : envList) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pid_ <= 0) ADD_FAILURE() << "cannot start " << VARN_EXE;
}

VarnRun::~VarnRun() {
  if (Running()) {
    Signal(SIGKILL);
    Wait(10);
  }
}

bool VarnRun::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  end_ = SteadyClock::now();
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  pid_ = -1;
  return false;
}

void VarnRun::Signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

int VarnRun::Wait(double seconds) {
  if (!WaitFor([this] { return !Running(); }, seconds)) {
    Signal(SIGKILL);
    WaitFor([this] { return !Running(); }, 10);
    return -1;
  }
  return status_;
}

double VarnRun::Seconds() const {
  const auto until = pid_ > 0 ? SteadyClock::now() : end_;
  return std::chrono::duration<double>(until - start_).count();
}

std::string VarnRun::Out() const { return ReadText(outPath_); }
std::string VarnRun::Err() const { return ReadText(errPath_); }

bool VarnRun::WaitForOutput(const std::string& text, double seconds, int occurrences) const {
  return WaitFor([&] { return CountLines(Out(), text) >= occurrences; }, seconds);
}

std::string EventFiles(const std::string& appFolder) {
  return Joined(FilesIn(appFolder + "varn_data", "varn", ".txt"));
}

std::string DiagnosticsFiles(const std::string& appFolder) {
  return Joined(FilesIn(appFolder + "varn_data", "varn", ".err"));
}

std::vector<std::string> EventTexts(const std::vector<std::string>& lines) {
  static const std::regex kTimes(
      R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d \d{4}/\d\d/\d\d \d\d:\d\d:\d\d (.+))");
  std::vector<std::string> texts;
  for (const auto& line : lines) {
    std::smatch m;
    if (std::regex_match(line, m, kTimes))
      texts.push_back(m[1]);
    else
      ADD_FAILURE() << "not an event line: " << line;
  }
  return texts;
}

std::vector<std::string> ArchiveFiles(const std::string& appFolder, int ch) {
  return FilesIn(appFolder + "varn_data/ch" + std::to_string(ch), "", "");
}

}  // namespace varn::test
