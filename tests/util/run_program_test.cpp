#include "util/run_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <unistd.h>

#include "support/temp_dir.h"

namespace varn {
namespace {

bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 200; ++i) {
    if (test::PathExists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(RunProgram, PassesAFolderNameAsOneArgumentWithoutAShell) {
  test::TempDir dir;
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  // A name a shell would split into three commands, the second creating "pwned".
  const std::string hostile = "data\"; touch pwned; \"x";
  const double pid = RunProgram("touch", hostile, 1);
  const bool created = WaitForFile(dir / hostile);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(chdir(old), 0);
  EXPECT_GT(pid, 0);
  EXPECT_TRUE(created);
  EXPECT_FALSE(test::PathExists(dir / "pwned"));
}

TEST(RunProgram, AddsTheExtraWordsAsFurtherArguments) {
  test::TempDir dir;
  EXPECT_GT(RunProgram("touch", dir / "one", 0, dir / "two " + dir / "three"), 0);
  EXPECT_TRUE(WaitForFile(dir / "one"));
  EXPECT_TRUE(WaitForFile(dir / "two"));
  EXPECT_TRUE(WaitForFile(dir / "three"));
}

TEST(RunProgram, GivesZeroForAProgramThatDoesNotExist) {
  EXPECT_EQ(RunProgram("varn-no-such-program-here", "x"), 0);
  EXPECT_EQ(RunProgram("", "x"), 0);
}

}  // namespace
}  // namespace varn
