#include "archive/file_access.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "support/temp_dir.h"

namespace varn {
namespace {

TEST(FileAccess, AppendsAndWritesAtAnOffsetThroughOneHandle) {
  test::TempDir dir;
  const std::string path = dir / "f.bin";
  OpenFile file;
  ASSERT_TRUE(WriteFileBytes("abcdef", 6, kAppend, file, path, false));
  EXPECT_TRUE(file.IsOpen());
  ASSERT_TRUE(WriteFileBytes("XY", 2, 1, file, path, false));
  ASSERT_TRUE(WriteFileBytes("gh", 2, kAppend, file, path, true));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(test::ReadText(path), "aXYdefgh");
  EXPECT_EQ(GetFileSizeByName(path), 8);

  char buf[3] = {};
  EXPECT_TRUE(ReadFileBytes(buf, 3, 5, path));
  EXPECT_EQ(std::string(buf, 3), "fgh");
  EXPECT_FALSE(ReadFileBytes(buf, 3, 6, path));  // past the end
  EXPECT_FALSE(ReadFileBytes(buf, 1, 0, dir / "missing"));
  EXPECT_EQ(GetFileSizeByName(dir / "missing"), 0);
}

TEST(FileAccess, AFailedWriteClosesTheCallersHandle) {
  test::TempDir dir;
  OpenFile file;
  ASSERT_TRUE(WriteFileBytes("x", 1, kAppend, file, dir / "f", false));
  EXPECT_FALSE(WriteFileBytes("x", 1, -5, file, dir / "f", false));
  EXPECT_FALSE(file.IsOpen());
  // The next call reopens by name and appends at the end.
  EXPECT_TRUE(WriteFileBytes("y", 1, kAppend, file, dir / "f", true));
  EXPECT_EQ(test::ReadText(dir / "f"), "xy");
  EXPECT_FALSE(WriteFileBytes("x", 1, kAppend, file, dir / "no/such/folder", true));
}

TEST(FileAccess, AnAppendCutShortByAFullDiskIsTakenBack) {
  test::TempDir dir;
  const std::string path = dir / "limited.bin";
  test::WriteText(path, std::string(1000, 'a'));
  // A file-size limit stands in for a full disk: the write stops part-way.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit lim = old;
  lim.rlim_cur = 1500;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
  const std::string block(1000, 'b');
  OpenFile file;
  const bool ok = WriteFileBytes(block.data(), 1000, kAppend, file, path, true);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(GetFileSizeByName(path), 1000);  // no half block left behind
}

TEST(FileAccess, DeleteFileIfExists) {
  test::TempDir dir;
  test::WriteText(dir / "ro", "x");
  chmod((dir / "ro").c_str(), 0444);
  EXPECT_TRUE(DeleteFileIfExists(dir / "ro"));
  EXPECT_FALSE(test::PathExists(dir / "ro"));
  EXPECT_TRUE(DeleteFileIfExists(dir / "never-there"));
  // A reserved device name is never touched.
  test::WriteText(dir / "con.wav", "keep");
  EXPECT_TRUE(DeleteFileIfExists(dir / "con.wav"));
  EXPECT_TRUE(test::PathExists(dir / "con.wav"));
  EXPECT_FALSE(DeleteFileIfExists(dir.Path()));  // a folder is not a file
  EXPECT_TRUE(FileExists(dir / "con.wav"));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace varn
