// What a hook program finds when it starts: input from /dev/null, output
// and errors caught for the diagnostics file (the first 4 KiB), no other
// descriptor of varn's, none of the service manager's variables, an
// ordinary program's priority; runs of one key in order; archive runs that
// never wait for event runs.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/hooks/hook_runner.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"
#include "support/wait_for.h"

namespace varn::test {
namespace {

std::string RunnerScript(const TempDir& dir, const std::string& name, const std::string& body) {
  const std::string path = dir / name;
  WriteText(path, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

// The output of the one run `runner` has been given.
HookOutput OutputOfOneRun(HookRunner& runner) {
  EXPECT_TRUE(runner.WaitIdle(10));
  std::vector<HookOutput> outputs;
  // Handed over when the run has ended, which Idle may tell first.
  EXPECT_TRUE(WaitFor(
      [&] {
        for (HookOutput& o : runner.TakeOutputs()) outputs.push_back(std::move(o));
        return !outputs.empty();
      },
      5));
  return outputs.empty() ? HookOutput{} : outputs.front();
}

TEST(HookRunner, AProgramStartsWithNullInputItsOutputCaughtNoOtherDescriptorAndNoServiceVariables) {
  TempDir dir;
  setenv("NOTIFY_SOCKET", "/run/systemd/notify", 1);
  setenv("WATCHDOG_USEC", "30000000", 1);
  setenv("WATCHDOG_PID", "1", 1);
  setenv("NOTIFY_EXTRA", "x", 1);
  setenv("VARN_TEST_KEPT", "kept", 1);
  // Descriptors of varn's that a program must not get: one without
  // O_CLOEXEC (as a library may open one) and one with it.
  const int stray = open("/dev/null", O_RDONLY);
  const int strayCloexec = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(stray, 3);
  std::vector<HookOutput> outputs;
  {
    HookRunner runner(10);
    unsetenv("NOTIFY_SOCKET");
    unsetenv("WATCHDOG_USEC");
    unsetenv("WATCHDOG_PID");
    unsetenv("NOTIFY_EXTRA");
    unsetenv("VARN_TEST_KEPT");
    // "sh -c": a shell reading a script keeps the script open. [ -e ]
    // looks a descriptor up without opening one; the glob's own directory
    // descriptor is gone by then.
    const std::string body =
        "for f in /proc/$$/fd/*; do [ -e \"$f\" ] && echo \"fd ${f##*/}\"; done\n"
        "echo \"stdin $(readlink /proc/$$/fd/0)\"\n"
        "env | grep -E '^(NOTIFY|WATCHDOG)_|^VARN_(EVENT|TEST_KEPT)=' | sort\n"
        "echo to-errors >&2";
    ASSERT_TRUE(runner.Submit(
        HookRun{"EventCommand", {"/bin/sh", "-c", body}, {"VARN_EVENT=click"}, "", 0}));
    outputs.push_back(OutputOfOneRun(runner));
  }
  close(stray);
  close(strayCloexec);
  const std::vector<std::string> lines = Lines(outputs.front().text);
  const std::vector<std::string> expected = {
      "fd 0",     "fd 1", "fd 2", "stdin /dev/null", "VARN_EVENT=click", "VARN_TEST_KEPT=kept",
      "to-errors"};
  EXPECT_EQ(lines, expected) << outputs.front().text;
  EXPECT_EQ(outputs.front().what, "EventCommand");
  EXPECT_EQ(outputs.front().cutBytes, 0u);
}

TEST(HookRunner, OutputBeyondFourKilobytesIsCountedNotKept) {
  TempDir dir;
  HookRunner runner(10);
  // 5000 bytes on standard output, then a line on standard error; and a
  // run that prints nothing gives no output at all.
  const std::string chatty =
      RunnerScript(dir, "chatty.sh", "head -c 5000 /dev/zero | tr '\\0' x\necho late >&2\nexit 3");
  ASSERT_TRUE(runner.Submit(HookRun{"ArchiveCommand", {"/bin/true"}, {}, "", 0}));
  ASSERT_TRUE(runner.Submit(HookRun{"ArchiveCommand", {chatty}, {}, "", 0}));
  const HookOutput output = OutputOfOneRun(runner);
  EXPECT_EQ(output.text, std::string(kHookOutputLimit, 'x'));
  EXPECT_EQ(output.cutBytes, 5000u + 5u - kHookOutputLimit);
  EXPECT_TRUE(runner.TakeOutputs().empty());
  const std::vector<HookFailure> failures = runner.TakeFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].cause, "exit status 3");
}

TEST(HookRunner, AProgramRunsAtNormalPriorityWhenVarnRunsHigher) {
  TempDir dir;
  // The runner's thread, like the program's, starts at the priority of the
  // thread that makes it: here a raised one.
  errno = 0;
  const int before = getpriority(PRIO_PROCESS, 0);
  if (errno != 0 || setpriority(PRIO_PROCESS, 0, -5) != 0)
    GTEST_SKIP() << "lowering the nice value needs root";
  HookOutput output;
  {
    HookRunner runner(10);
    setpriority(PRIO_PROCESS, 0, before);
    ASSERT_TRUE(runner.Submit(HookRun{
        "EventCommand", {RunnerScript(dir, "nice.sh", "echo \"nice $(nice)\"")}, {}, "", 0}));
    output = OutputOfOneRun(runner);
  }
  EXPECT_EQ(output.text, "nice 0\n");
}

TEST(HookRunner, RunsOfOneKeyGoInTurnAndArchiveRunsDoNotWaitForEventRuns) {
  TempDir dir;
  HookRunner runner(30);
  const std::string order = dir / "order";
  // The first of a key takes longer than the second: in turn, it still
  // comes first.
  const std::string slow = RunnerScript(dir, "slow.sh", "sleep 0.3; echo first >> " + order);
  const std::string quick = RunnerScript(dir, "quick.sh", "echo second >> " + order);
  ASSERT_TRUE(runner.Submit(HookRun{"EventCommand", {slow}, {}, "0/0/over_level", 0}));
  ASSERT_TRUE(runner.Submit(HookRun{"EventCommand", {quick}, {}, "0/0/over_level", 0}));
  ASSERT_TRUE(runner.WaitIdle(10));
  EXPECT_EQ(ReadText(order), "first\nsecond\n");

  // Every event place taken and every waiting place too: an archive run
  // still starts at once.
  const std::string hang = RunnerScript(dir, "hang.sh", "exec sleep 30");
  // (The runner takes the first four from the queue when it gets to them.)
  for (size_t i = 0; i < kHooksAtOnce + kHooksWaiting; ++i)
    ASSERT_TRUE(WaitFor(
        [&] {
          return runner.Submit(HookRun{"EventCommand", {hang}, {}, "", 0});
        },
        5))
        << i;
  EXPECT_FALSE(runner.Submit(HookRun{"EventCommand", {hang}, {}, "", 0}));
  ASSERT_TRUE(runner.SubmitArchive(HookRun{"ArchiveCommand", {"/bin/true"}, {}, "", 7}));
  std::vector<uint64_t> ended;
  EXPECT_TRUE(WaitFor(
      [&] {
        ended = runner.TakeEnded();
        return !ended.empty();
      },
      5));
  EXPECT_EQ(ended, std::vector<uint64_t>{7});
}

}  // namespace
}  // namespace varn::test
