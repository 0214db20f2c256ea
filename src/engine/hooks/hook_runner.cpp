#include "engine/hooks/hook_runner.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>

extern char** environ;

namespace varn {

namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(20);
constexpr double kKillGraceSec = 2.0;
constexpr size_t kFailureSlots = 64;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The inherited environment with `extra` on top.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
  std::map<std::string, std::string> vars;
  const auto put = [&](const std::string& entry) {
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  };
  for (char** e = environ; e && *e; ++e) put(*e);
  for (const std::string& entry : extra) put(entry);
  std::vector<std::string> out;
  out.reserve(vars.size());
  for (const auto& [name, value] : vars) out.push_back(name + "=" + value);
  return out;
}

std::string Seconds(double s) {
  const auto whole = static_cast<long long>(s);
  return whole == s ? std::to_string(whole) : std::to_string(s);
}

}  // namespace

HookRunner::HookRunner(double timeoutSec)
    : waiting_(kHooksWaiting), failures_(kFailureSlots), timeoutSec_(timeoutSec) {
  thread_ = std::thread([this] { Run(); });
}

HookRunner::~HookRunner() {
  quit_.store(true, std::memory_order_release);
  work_.fetch_add(1, std::memory_order_release);
  work_.notify_one();
  if (thread_.joinable()) thread_.join();
}

bool HookRunner::Submit(HookRun run) {
  if (!waiting_.TryPush(std::move(run))) return false;
  submitted_.fetch_add(1, std::memory_order_release);
  work_.fetch_add(1, std::memory_order_release);
  work_.notify_one();
  return true;
}

std::vector<HookFailure> HookRunner::TakeFailures() {
  std::vector<HookFailure> out;
  HookFailure f;
  while (failures_.TryPop(f)) out.push_back(std::move(f));
  return out;
}

bool HookRunner::WaitIdle(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  const uint64_t target = submitted_.load(std::memory_order_acquire);
  while (finished_.load(std::memory_order_acquire) < target) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void HookRunner::Run() {
  while (!quit_.load(std::memory_order_acquire)) {
    const uint32_t seen = work_.load(std::memory_order_acquire);
    HookRun run;
    while (running_.size() < kHooksAtOnce && waiting_.TryPop(run)) Start(run);
    Reap();
    EndLateRuns();
    if (running_.empty()) {
      if (waiting_.Empty()) work_.wait(seen, std::memory_order_acquire);
    } else {
      std::this_thread::sleep_for(kPollPeriod);
    }
  }
  // Leaving: runs still going are ended, as a late run would be.
  for (Running& r : running_) kill(-r.pid, SIGKILL);
  for (Running& r : running_) waitpid(r.pid, nullptr, 0);
}

void HookRunner::Start(HookRun& run) {
  if (run.argv.empty()) {
    finished_.fetch_add(1, std::memory_order_release);
    return;
  }
  std::vector<char*> argv;
  for (std::string& a : run.argv) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = Environment(run.env);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // A group of its own, so a time-out ends a script's children too, and
  // signals the program asked to ignore are the default again.
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  if (error != 0) {
    Fail(run.what, "cannot start " + run.argv[0] + ": " + std::strerror(error));
    finished_.fetch_add(1, std::memory_order_release);
    return;
  }
  running_.push_back(Running{pid, run.what, Now(), -1.0});
}

void HookRunner::Reap() {
  for (size_t i = 0; i < running_.size();) {
    Running& r = running_[i];
    int status = 0;
    const pid_t done = waitpid(r.pid, &status, WNOHANG);
    if (done == 0) {
      ++i;
      continue;
    }
    if (r.terminated >= 0)
      Fail(r.what,
           "timed out after " + Seconds(timeoutSec_.load(std::memory_order_relaxed)) + " s");
    else if (done < 0)
      Fail(r.what, std::string("lost track of the run: ") + std::strerror(errno));
    else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
      Fail(r.what, "exit status " + std::to_string(WEXITSTATUS(status)));
    else if (WIFSIGNALED(status))
      Fail(r.what, "killed by signal " + std::to_string(WTERMSIG(status)));
    running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
    finished_.fetch_add(1, std::memory_order_release);
  }
}

void HookRunner::EndLateRuns() {
  const double now = Now();
  const double timeout = timeoutSec_.load(std::memory_order_relaxed);
  for (Running& r : running_) {
    if (r.terminated < 0 && now - r.started > timeout) {
      kill(-r.pid, SIGTERM);
      r.terminated = now;
    } else if (r.terminated >= 0 && now - r.terminated > kKillGraceSec) {
      kill(-r.pid, SIGKILL);
    }
  }
}

void HookRunner::Fail(const std::string& what, std::string cause) {
  failures_.TryPush(HookFailure{what, std::move(cause)});
}

}  // namespace varn
