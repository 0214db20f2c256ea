#include "settings/folders.h"

#include <gtest/gtest.h>

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

TEST(Folders, AppFolderAlwaysEndsInASeparator) {
  SetAppFolder("/opt/varn");
  EXPECT_EQ(AppFolder(), "/opt/varn/");
  SetAppFolder("");
  EXPECT_EQ(AppFolder().back(), '/');
  EXPECT_EQ(AppFolder(), NormaliseFolder(ExecutableFolder(), false));
}

TEST(CutAtNull, TrimsThenCuts) {
  EXPECT_EQ(CutAtNull(std::string("  abc\0def  ", 11)), "abc");
  EXPECT_EQ(CutAtNull("  x "), "x");
}

}  // namespace
}  // namespace varn
