#include "util/file_names.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

TEST(SplitPath, PicksTheAskedParts) {
  const std::string p = "/rec/ch1.wav";
  EXPECT_EQ(SplitPath(p, {.base = true}), "ch1");
  EXPECT_EQ(SplitPath(p, {.folder = true, .separator = true}), "/rec/");
  EXPECT_EQ(SplitPath(p, {.base = true, .dot = true, .extension = true}), "ch1.wav");
  EXPECT_EQ(SplitPath(p, {.extension = true}, CaseMode::Upper), "WAV");
  EXPECT_EQ(SplitPath("/Rec/A.B.Wav", {.base = true}, CaseMode::Lower), "a.b");
  // The separator is given even without a folder.
  EXPECT_EQ(SplitPath("name.txt", {.folder = true, .separator = true}), "/");
  EXPECT_EQ(SplitPath("", {.folder = true, .separator = true}), "");
  // A dot in a folder name is not an extension.
  EXPECT_EQ(SplitPath("/a.d/file", {.base = true, .dot = true, .extension = true}), "file");
}

TEST(EnsureExtension, AppendsOnlyWhenMissing) {
  EXPECT_EQ(EnsureExtension("take1", "WAV"), "take1.wav");
  EXPECT_EQ(EnsureExtension("take1.WAV", ".wav"), "take1.WAV");
  EXPECT_EQ(EnsureExtension("take1", "  .mp3 "), "take1.mp3");
  EXPECT_EQ(EnsureExtension("", "wav"), "");
  EXPECT_EQ(EnsureExtension("take1", ""), "take1");
  EXPECT_EQ(EnsureExtension("take1.wav.bak", "wav"), "take1.wav.bak.wav");
}

TEST(IsReservedDeviceName, KnowsTheTwentyFiveNames) {
  EXPECT_TRUE(IsReservedDeviceName("/x/com1.txt"));
  EXPECT_TRUE(IsReservedDeviceName("Clock$"));
  EXPECT_TRUE(IsReservedDeviceName("lpt9"));
  EXPECT_TRUE(IsReservedDeviceName("NUL.wav"));
  EXPECT_FALSE(IsReservedDeviceName("COM10"));
  EXPECT_FALSE(IsReservedDeviceName("CONSOLE"));
  EXPECT_FALSE(IsReservedDeviceName("COMX"));
  EXPECT_FALSE(IsReservedDeviceName("/con/take.wav"));
}

}  // namespace
}  // namespace varn
