#include "engine/hooks/hook_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

#include "util/process_priority.h"

extern char** environ;

namespace varn {

namespace {

constexpr int kPollPeriodMs = 20;
constexpr double kKillGraceSec = 2.0;
constexpr size_t kFailureSlots = 64;
constexpr size_t kOutputSlots = 32;
constexpr size_t kEndedSlots = 64;
// Reads of one run's pipe in one round: a program that writes without a
// pause must not keep the others' time-outs and exits waiting.
constexpr int kReadsPerRound = 16;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<std::string> InheritedEnvironment() {
  std::vector<std::string> out;
  for (char** e = environ; e && *e; ++e) out.emplace_back(*e);
  return out;
}

std::string HookSeconds(double s) {
  const auto whole = static_cast<long long>(s);
  return whole == s ? std::to_string(whole) : std::to_string(s);
}

// A descriptor of varn's above 0..2 (varn may have been started with one of
// them closed), so making it the child's 1 and 2 never closes it first.
int AboveStdio(int fd) {
  if (fd < 0 || fd > 2) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

}  // namespace

std::vector<std::string> HookEnvironment(const std::vector<std::string>& inherited,
                                         const std::vector<std::string>& extra) {
  std::map<std::string, std::string> vars;
  const auto put = [&](const std::string& entry) {
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  };
  for (const std::string& entry : inherited)
    if (!entry.starts_with("NOTIFY_") && !entry.starts_with("WATCHDOG_")) put(entry);
  for (const std::string& entry : extra) put(entry);
  std::vector<std::string> out;
  out.reserve(vars.size());
  for (const auto& [name, value] : vars) out.push_back(name + "=" + value);
  return out;
}

HookRunner::HookRunner(double timeoutSec)
    : inherited_(InheritedEnvironment()),
      childNice_(ChildNiceValue()),
      waiting_(kHooksWaiting),
      archiveWaiting_(kArchiveHooksAtOnce),
      failures_(kFailureSlots),
      outputs_(kOutputSlots),
      ended_(kEndedSlots),
      timeoutSec_(timeoutSec) {
  thread_ = std::thread([this] { Run(); });
}

HookRunner::~HookRunner() {
  quit_.store(true, std::memory_order_release);
  work_.fetch_add(1, std::memory_order_release);
  work_.notify_one();
  if (thread_.joinable()) thread_.join();
}

bool HookRunner::Submit(HookRun run) {
  // Counted before the runner can see it, so its start never counts first.
  if (eventsWaiting_.fetch_add(1, std::memory_order_acq_rel) >= kHooksWaiting ||
      !waiting_.TryPush(std::move(run))) {
    eventsWaiting_.fetch_sub(1, std::memory_order_acq_rel);
    return false;
  }
  submitted_.fetch_add(1, std::memory_order_release);
  work_.fetch_add(1, std::memory_order_release);
  work_.notify_one();
  return true;
}

bool HookRunner::SubmitArchive(HookRun run) {
  if (!archiveWaiting_.TryPush(std::move(run))) return false;
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

std::vector<HookOutput> HookRunner::TakeOutputs(uint64_t* lost) {
  std::vector<HookOutput> out;
  HookOutput o;
  while (outputs_.TryPop(o)) out.push_back(std::move(o));
  const uint64_t n = outputsLost_.exchange(0, std::memory_order_acq_rel);
  if (lost) *lost = n;
  return out;
}

std::vector<uint64_t> HookRunner::TakeEnded() {
  std::vector<uint64_t> out;
  uint64_t id = 0;
  while (ended_.TryPop(id)) out.push_back(id);
  return out;
}

bool HookRunner::WaitIdle(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!Idle()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void HookRunner::Run() {
  // Hooks run at an ordinary program's priority, not at the one varn raised
  // itself to: a child starts with its parent thread's nice value (a
  // per-thread value on Linux), and this thread needs no more than that.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), childNice_);
  while (!quit_.load(std::memory_order_acquire)) {
    const uint32_t seen = work_.load(std::memory_order_acquire);
    StartWaiting();
    for (Running& r : running_) ReadOutput(r);
    Reap();
    EndLateRuns();
    if (running_.empty()) {
      if (waiting_.Empty() && archiveWaiting_.Empty() && held_.empty())
        work_.wait(seen, std::memory_order_acquire);
    } else {
      WaitForOutput();
    }
  }
  // Leaving: runs still going are ended, as a late run would be.
  for (Running& r : running_) kill(-r.pid, SIGKILL);
  for (Running& r : running_) {
    waitpid(r.pid, nullptr, 0);
    if (r.output >= 0) close(r.output);
  }
}

size_t HookRunner::RunningIn(bool archive) const {
  return static_cast<size_t>(std::count_if(running_.begin(), running_.end(),
                                           [&](const Running& r) { return r.archive == archive; }));
}

bool HookRunner::SerialBusy(const std::string& serial) const {
  if (serial.empty()) return false;
  return std::any_of(running_.begin(), running_.end(),
                     [&](const Running& r) { return r.serial == serial; });
}

void HookRunner::StartWaiting() {
  // Event runs held for their key first, oldest first; then the queue. A
  // run whose key is busy, or held already, waits behind it.
  for (auto it = held_.begin(); it != held_.end() && RunningIn(false) < kHooksAtOnce;) {
    if (SerialBusy(it->serial)) {
      ++it;
      continue;
    }
    HookRun run = std::move(*it);
    it = held_.erase(it);
    Start(run, false);
  }
  HookRun run;
  while (RunningIn(false) < kHooksAtOnce && waiting_.TryPop(run)) {
    const bool behind =
        SerialBusy(run.serial) || std::any_of(held_.begin(), held_.end(), [&](const HookRun& h) {
          return !run.serial.empty() && h.serial == run.serial;
        });
    if (behind)
      held_.push_back(std::move(run));
    else
      Start(run, false);
  }
  while (RunningIn(true) < kArchiveHooksAtOnce && archiveWaiting_.TryPop(run)) Start(run, true);
}

bool HookRunner::Start(HookRun& run, bool archive) {
  if (!archive) eventsWaiting_.fetch_sub(1, std::memory_order_acq_rel);
  const auto never = [&](std::string cause) {
    if (!cause.empty()) Fail(run.what, std::move(cause));
    if (run.id != 0) ended_.TryPush(run.id);
    finished_.fetch_add(1, std::memory_order_release);
    return false;
  };
  if (run.argv.empty()) return never("");
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0)
    return never("cannot start " + run.argv[0] + ": " + std::strerror(errno));
  const int readEnd = AboveStdio(pipeFds[0]);
  const int writeEnd = AboveStdio(pipeFds[1]);
  if (readEnd < 0 || writeEnd < 0) {
    const int error = errno;
    if (readEnd >= 0) close(readEnd);
    if (writeEnd >= 0) close(writeEnd);
    return never("cannot start " + run.argv[0] + ": " + std::strerror(error));
  }
  fcntl(readEnd, F_SETFL, fcntl(readEnd, F_GETFL) | O_NONBLOCK);

  std::vector<char*> argv;
  for (std::string& a : run.argv) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = HookEnvironment(inherited_, run.env);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  // Nothing of varn's reaches the child but the pipe: input from
  // /dev/null, output and errors into the pipe, every other descriptor
  // closed (one varn opened without O_CLOEXEC, or a library did).
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, writeEnd, 1);
  posix_spawn_file_actions_adddup2(&actions, writeEnd, 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
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
  const int error = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(writeEnd);
  if (error != 0) {
    close(readEnd);
    return never("cannot start " + run.argv[0] + ": " + std::strerror(error));
  }
  Running r;
  r.pid = pid;
  r.what = run.what;
  r.archive = archive;
  r.id = run.id;
  r.serial = run.serial;
  r.output = readEnd;
  r.started = Now();
  running_.push_back(std::move(r));
  return true;
}

void HookRunner::ReadOutput(Running& r) {
  char buffer[4096];
  for (int i = 0; i < kReadsPerRound && r.output >= 0; ++i) {
    const ssize_t n = read(r.output, buffer, sizeof buffer);
    if (n > 0) {
      const size_t room = kHookOutputLimit - std::min(kHookOutputLimit, r.kept.size());
      const size_t keep = std::min(room, static_cast<size_t>(n));
      r.kept.append(buffer, keep);
      r.cut += static_cast<uint64_t>(n) - keep;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    close(r.output);  // the end of the output (or a pipe that failed)
    r.output = -1;
  }
}

void HookRunner::WaitForOutput() {
  std::vector<pollfd> fds;
  for (const Running& r : running_)
    if (r.output >= 0) fds.push_back(pollfd{r.output, POLLIN, 0});
  if (fds.empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollPeriodMs));
    return;
  }
  (void)poll(fds.data(), fds.size(), kPollPeriodMs);
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
           "timed out after " + HookSeconds(timeoutSec_.load(std::memory_order_relaxed)) + " s");
    else if (done < 0)
      Fail(r.what, std::string("lost track of the run: ") + std::strerror(errno));
    else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
      Fail(r.what, "exit status " + std::to_string(WEXITSTATUS(status)));
    else if (WIFSIGNALED(status))
      Fail(r.what, "killed by signal " + std::to_string(WTERMSIG(status)));
    End(r);
    running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void HookRunner::End(Running& r) {
  // What the program wrote before it ended is in the pipe; a child it left
  // behind may keep the pipe open, and is not waited for.
  ReadOutput(r);
  if (r.output >= 0) close(r.output);
  r.output = -1;
  if (!r.kept.empty() && !outputs_.TryPush(HookOutput{r.what, std::move(r.kept), r.cut}))
    outputsLost_.fetch_add(1, std::memory_order_relaxed);
  if (r.id != 0) ended_.TryPush(r.id);
  finished_.fetch_add(1, std::memory_order_release);
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
