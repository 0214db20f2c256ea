// The varn executable as an operator uses it: wavinfo and config.

#include <gtest/gtest.h>

#include "archive/wav_file.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

class CliTest : public ::testing::Test {
 protected:
  test::CommandResult Varn(const std::string& args) {
    return test::RunCommand("XDG_CONFIG_HOME=" + home.Path() + " " + VARN_EXE + " --app-folder " +
                            app.Path() + " " + args + " 2>/dev/null");
  }
  test::TempDir app;
  test::TempDir home;
};

TEST_F(CliTest, WavinfoPrintsEveryFieldInOrder) {
  ASSERT_TRUE(WriteWavHeader(48000, 16, 1, app / "a.wav", 0));
  const auto r = Varn("wavinfo " + app / "a.wav");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output,
            "Valid=1\nFrameCount=0\nSampleRate=48000\nBitsPerSample=16\nChannels=1\n"
            "BlockAlign=2\nDataOffset=44\nDataSize=0\nFileSize=44\nFormatCode=2\n"
            "DurationMs=0\nFormatTag=1\n");
}

TEST_F(CliTest, WavinfoFailsOnAFileItCannotRead) {
  test::WriteText(app / "x.wav", "garbage");
  const auto r = Varn("wavinfo " + app / "x.wav");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output.rfind("Valid=0\n", 0), 0u);
  EXPECT_EQ(Varn("wavinfo " + app / "missing.wav").exitCode, 1);
}

TEST_F(CliTest, ConfigUsesTheIniFileWhenItExistsAndWritesDefaultsBack) {
  test::WriteText(app / "varn.ini", "[conf]\n");
  EXPECT_EQ(Varn("config set NumRec 4").exitCode, 0);
  EXPECT_EQ(Varn("config get NumRec").output, "4\n");
  EXPECT_EQ(Varn("config get BufferDelay").output, "300\n");
  const std::string ini = test::ReadText(app / "varn.ini");
  EXPECT_NE(ini.find("NumRec=4"), std::string::npos);
  EXPECT_NE(ini.find("BufferDelay=300"), std::string::npos);
  EXPECT_FALSE(test::PathExists(home / "varnaudio"));
}

TEST_F(CliTest, ConfigWithoutAnIniFileUsesThePerUserStore) {
  EXPECT_EQ(Varn("config get ChName_2").output, "系統名2\n");
  EXPECT_EQ(Varn("config set ChName_2 'Studio A'").exitCode, 0);
  EXPECT_EQ(Varn("config get ChName_2").output, "Studio A\n");
  EXPECT_NE(test::ReadText(home / "varnaudio/varn.conf").find("ChName_2=Studio A"),
            std::string::npos);
  EXPECT_FALSE(test::PathExists(app / "varn.ini"));
  EXPECT_EQ(Varn("config get NotAKey").output, "\n");
  EXPECT_EQ(Varn("config set 'A=B' 1").exitCode, 2);
  EXPECT_EQ(test::ReadText(home / "varnaudio/varn.conf").find("A=B"), std::string::npos);
}

TEST_F(CliTest, ConfigListShowsGlobalChannelAndSetKeys) {
  const auto r = Varn("config list");
  EXPECT_EQ(r.exitCode, 0);
  for (const char* line : {"NumRec=1\n", "Soundpath=", "DeviceName_1=\n", "RecFreq_1=44100\n",
                           "FFTAvrSec_1=0.7\n", "TabWidth_LV_5=900\n", "ChName_1=系統名1\n"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line;
  EXPECT_NE(r.output.find("Soundpath=" + app.Path() + "varn_data/\n"), std::string::npos);
}

TEST_F(CliTest, UnknownCommandsAndOptionsFail) {
  EXPECT_NE(Varn("nosuchcommand").exitCode, 0);
  EXPECT_NE(Varn("wavinfo").exitCode, 0);
  EXPECT_EQ(Varn("--version").output.rfind("varn ", 0), 0u);
}

}  // namespace
}  // namespace varn
