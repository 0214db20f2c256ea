// The keeping commands as an operator uses them: holds, verify, and the
// free-space setting's limit.

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/disk_space.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

class ArchiveKeepCli : public ::testing::Test {
 protected:
  test::CommandResult Varn(const std::string& args) {
    return test::RunCommand("XDG_CONFIG_HOME=" + home.Path() + " " + VARN_EXE + " --app-folder " +
                            app.Path() + " " + args + " 2>" + home / "stderr.txt");
  }
  std::string Stderr() const { return test::ReadText(home / "stderr.txt"); }
  test::TempDir app;
  test::TempDir home;
  std::string data = app / "data/";
  void SetUp() override { test::WriteText(app / "varn.ini", "[conf]\nSoundpath=" + data + "\n"); }
};

TEST_F(ArchiveKeepCli, HoldsAreMadeListedAndReleasedAndBadArgumentsExitTwo) {
  const auto made = Varn(
      "archive hold --channel 1 --from '2026-03-10 14:32:00' --to '2026-03-10 14:47:00' "
      "--reason 'complaint 42'");
  ASSERT_EQ(made.exitCode, 0) << Stderr();
  EXPECT_EQ(made.output, "1\n");
  EXPECT_EQ(Varn("archive hold --channel 1 --from '2026-03-11 00:00' --to '2026-03-11 01:00' "
                 "--reason second")
                .output,
            "2\n");
  const auto listed = Varn("archive holds");
  EXPECT_NE(listed.output.find("1  ch1  2026-03-10 14:32:00  2026-03-10 14:47:00"),
            std::string::npos)
      << listed.output;
  EXPECT_NE(listed.output.find("complaint 42"), std::string::npos);

  for (const char* bad :
       {"archive hold --channel 1 --from '2026-03-10 15:00' --to '2026-03-10 14:00' --reason x",
        "archive hold --channel 1 --from 'yesterday' --to '2026-03-10 14:00' --reason x",
        "archive hold --channel 9 --from '2026-03-10 13:00' --to '2026-03-10 14:00' --reason x",
        "archive hold --channel 1 --from '2026-03-10 13:00' --to '2026-03-10 14:00' --reason ' '",
        "archive hold --channel 1 --from '2026-03-10 13:00' --to '2026-03-10 14:00'",
        "archive release x"})
    EXPECT_EQ(Varn(bad).exitCode, 2) << bad;

  EXPECT_EQ(Varn("archive release 1").exitCode, 0);
  EXPECT_EQ(Varn("archive release 1").exitCode, 1);
  EXPECT_NE(Stderr().find("no hold with ID 1"), std::string::npos);
  EXPECT_EQ(Varn("archive holds").output.find("complaint"), std::string::npos);

  // A broken holds file is named and left as it is.
  test::WriteText(data + "archive_holds.txt", "scribbled\n");
  EXPECT_EQ(Varn("archive hold --channel 1 --from '2026-03-10 13:00' --to '2026-03-10 14:00' "
                 "--reason x")
                .exitCode,
            1);
  EXPECT_NE(Stderr().find("the holds file is broken"), std::string::npos);
  EXPECT_EQ(test::ReadText(data + "archive_holds.txt"), "scribbled\n");
}

// Holds made at the same moment (two operators, a script) are all kept.
TEST_F(ArchiveKeepCli, HoldsMadeAtOnceAreAllKept) {
  std::string script;
  for (int i = 0; i < 6; ++i)
    script += "XDG_CONFIG_HOME=" + home.Path() + " " + VARN_EXE + " --app-folder " + app.Path() +
              " archive hold --channel 1 --from '2026-03-10 13:00' --to '2026-03-10 14:00' "
              "--reason r" +
              std::to_string(i) + " >/dev/null 2>&1 & ";
  ASSERT_EQ(test::RunCommand(script + "wait").exitCode, 0);
  const std::string listed = Varn("archive holds").output;
  for (int i = 0; i < 6; ++i)
    EXPECT_NE(listed.find("r" + std::to_string(i)), std::string::npos) << listed;
}

TEST_F(ArchiveKeepCli, VerifyNamesAChangedFileAndALostSum) {
  std::filesystem::create_directories(data + "ch2");
  std::vector<uint8_t> bytes(1000, 7);
  for (const char* name : {"20260310140000.mp3", "20260310150000.mp3"})
    test::WriteBytes(data + "ch2/" + name, bytes);
  // Old enough not to be taken for a file still being written.
  for (const char* name : {"20260310140000.mp3", "20260310150000.mp3"})
    std::filesystem::last_write_time(
        data + "ch2/" + name,
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  ASSERT_EQ(test::RunCommand("cd '" + data +
                             "ch2' && for f in *.mp3; do sha256sum \"$f\" > "
                             "\"$f.sha256\"; done")
                .exitCode,
            0);
  EXPECT_EQ(Varn("archive verify").exitCode, 0) << Stderr();

  bytes[500] = 8;
  test::WriteBytes(data + "ch2/20260310140000.mp3", bytes);
  std::filesystem::remove(data + "ch2/20260310150000.mp3.sha256");
  const auto r = Varn("archive verify --channel 2");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("ch2/20260310140000.mp3: DIFFERS"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("ch2/20260310150000.mp3: NO SUM"), std::string::npos) << r.output;
  // Only the range asked for.
  EXPECT_EQ(Varn("archive verify --from '2026-03-10 16:00'").exitCode, 0);
  EXPECT_EQ(Varn("archive verify --from '2026-03-10 16:00' --to '2026-03-10 15:00'").exitCode, 2);
}

TEST_F(ArchiveKeepCli, ConfigSetRefusesAMinimumFreeSpaceAboveHalfTheFileSystem) {
  const DiskSpace space = ReadDiskSpace(data);
  ASSERT_TRUE(space.known);
  const uint64_t half = space.totalBytes / 2 / kMegabyte;
  EXPECT_EQ(Varn("config set ArchiveMinFreeMB " + std::to_string(half + 1)).exitCode, 2);
  EXPECT_NE(Stderr().find("at most half"), std::string::npos) << Stderr();
  EXPECT_EQ(Varn("config get ArchiveMinFreeMB").output, "0\n");
  EXPECT_EQ(Varn("config set ArchiveMinFreeMB " + std::to_string(half)).exitCode, 0);
  EXPECT_EQ(Varn("config get ArchiveMinFreeMB").output, std::to_string(half) + "\n");
}

}  // namespace
}  // namespace varn
