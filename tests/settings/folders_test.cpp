#include "settings/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace varn {
namespace {

TEST(NormaliseFolder, AddsOrRemovesOneSeparator) {
  EXPECT_EQ(NormaliseFolder("/data", false), "/data/");
  EXPECT_EQ(NormaliseFolder("/data/", false), "/data/");
  EXPECT_EQ(NormaliseFolder("/data/", true), "/data");
  EXPECT_EQ(NormaliseFolder("/data//", true), "/data/");  // only the last character counts
  EXPECT_EQ(NormaliseFolder("   ", false), "");
  EXPECT_EQ(NormaliseFolder("", true), "");
  EXPECT_EQ(NormaliseFolder("http://example.org/a", false), "http://example.org/a/");
}

TEST(Folders, EnsureFolderCreatesEveryMissingParent) {
  test::TempDir dir;
  const std::string deep = dir / "a/b/c";
  EXPECT_FALSE(FolderExists(deep));
  EXPECT_FALSE(MakeFolder(deep));  // one level only: the parent is missing
  EXPECT_TRUE(EnsureFolder(deep));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(FolderExists(deep + "/"));
  EXPECT_TRUE(EnsureFolder(deep));  // already there
  EXPECT_FALSE(MakeFolder(deep));   // exists: MakeFolder reports false
}

TEST(Folders, AFileIsNotAFolder) {
  test::TempDir dir;
  test::WriteText(dir / "plain", "x");
  EXPECT_FALSE(FolderExists(dir / "plain"));
  EXPECT_FALSE(EnsureFolder(dir / "plain/sub"));
  EXPECT_FALSE(FolderExists(""));
  EXPECT_TRUE(RegularFileExists(dir / "plain"));
  EXPECT_FALSE(RegularFileExists(dir.Path()));
}

TEST(Folders, AppFolderAlwaysEndsInASeparatorAndIsAbsolute) {
  SetAppFolder("/opt/varn");
  EXPECT_EQ(AppFolder(), "/opt/varn/");
  // The program enters its folder: a relative name must not be read again
  // from inside it.
  SetAppFolder("station1/./");
  EXPECT_EQ(AppFolder(), std::filesystem::current_path().string() + "/station1/");
  SetAppFolder("");
  EXPECT_EQ(AppFolder().back(), '/');
  EXPECT_EQ(AppFolder(), NormaliseFolder(ExecutableFolder(), false));
}

TEST(DefaultAppFolder, AnInstalledProgramUsesTheUsersDataFolder) {
  AppFolderFacts facts{"/work/varn/build/src/app", true, "/x/data", "/home/op"};
  // A writable folder outside /usr: a build tree or a copy, as before.
  EXPECT_EQ(DefaultAppFolder(facts), "/work/varn/build/src/app/");
  facts.executableFolderWritable = false;
  EXPECT_EQ(DefaultAppFolder(facts), "/x/data/varnaudio/");
  // Inside a folder named usr, writable or not (root may write anywhere).
  facts.executableFolderWritable = true;
  for (const char* exe : {"/usr/bin", "/usr/local/bin/", "/tmp/t1/root/usr/bin", "usr/bin"}) {
    facts.executableFolder = exe;
    EXPECT_EQ(DefaultAppFolder(facts), "/x/data/varnaudio/") << exe;
  }
  EXPECT_FALSE(IsInstalledFolder("/srv/usrdata/bin"));
  EXPECT_FALSE(IsInstalledFolder("/opt/users/bin"));
  // XDG_DATA_HOME unset, or relative (invalid): $HOME/.local/share.
  facts.xdgDataHome = "";
  EXPECT_EQ(DefaultAppFolder(facts), "/home/op/.local/share/varnaudio/");
  facts.xdgDataHome = "rel/data";
  facts.home = "/home/op/";
  EXPECT_EQ(DefaultAppFolder(facts), "/home/op/.local/share/varnaudio/");
  // Neither: nowhere better than the executable's folder.
  facts.home = "";
  facts.executableFolder = "/usr/bin";
  EXPECT_EQ(DefaultAppFolder(facts), "/usr/bin/");
}

TEST(FolderWritable, TriesAndLeavesNothing) {
  test::TempDir dir;
  EXPECT_TRUE(FolderWritable(dir.Path()));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  EXPECT_FALSE(FolderWritable(dir / "missing"));
  test::WriteText(dir / "plain", "x");
  EXPECT_FALSE(FolderWritable(dir / "plain"));
  EXPECT_FALSE(FolderWritable("/proc/self"));  // a folder nobody can create files in
}

TEST(FolderErrors, SayWhyAFolderCannotBeMadeOrWritten) {
  test::TempDir dir;
  EXPECT_EQ(WritableFolderError(dir / "a/b"), "");
  EXPECT_TRUE(FolderExists(dir / "a/b"));
  test::WriteText(dir / "plain", "x");
  EXPECT_EQ(CreateFolderError(dir / "plain/sub/deeper"), "Not a directory");
  EXPECT_EQ(WritableFolderError(dir / "plain"), "Not a directory");
  EXPECT_NE(WritableFolderError("/proc/self"), "");  // no file can be made there
  if (geteuid() == 0) GTEST_SKIP() << "root writes whatever the permissions say";
  ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
  EXPECT_EQ(CreateFolderError(dir / "c"), "Permission denied");
  EXPECT_EQ(WritableFolderError(dir / "a"), "");  // its own permissions still allow it
  ASSERT_EQ(chmod((dir / "a").c_str(), 0555), 0);
  EXPECT_EQ(WritableFolderError(dir / "a"), "Permission denied");
  chmod((dir / "a").c_str(), 0755);
  chmod(dir.Path().c_str(), 0755);
}

TEST(CutAtNull, TrimsThenCuts) {
  EXPECT_EQ(CutAtNull(std::string("  abc\0def  ", 11)), "abc");
  EXPECT_EQ(CutAtNull("  x "), "x");
}

}  // namespace
}  // namespace varn
