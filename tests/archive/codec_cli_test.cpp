// The mpeginfo, encode and decode commands as an operator runs them.

#include <gtest/gtest.h>

#include "archive/mpeg_info.h"
#include "archive/wav_file.h"
#include "archive_test_support.h"
#include "support/run_command.h"

namespace varn {
namespace {

class CodecCliTest : public ::testing::Test {
 protected:
  test::CommandResult Varn(const std::string& args) {
    return test::RunCommand("XDG_CONFIG_HOME=" + home.Path() + " " + VARN_EXE + " --app-folder " +
                            app.Path() + " " + args + " 2>" + app.Path() + "stderr.txt");
  }
  std::string Stderr() { return test::ReadText(app / "stderr.txt"); }
  test::TempDir app;
  test::TempDir home;
};

TEST_F(CodecCliTest, EncodeThenDescribeThenDecode) {
  test::WriteWav(app / "in.wav", 44100, 2, test::ToneFrames(440, 44100, 88200, 2));
  auto r = Varn("encode " + app / "in.wav " + app / "out.mp3");
  ASSERT_EQ(r.exitCode, 0) << Stderr();
  EXPECT_EQ(Stderr(), "");  // no progress bar when not on a terminal

  r = Varn("mpeginfo " + app / "out.mp3");
  EXPECT_EQ(r.exitCode, 0);
  MpegInfo info;
  ASSERT_EQ(ReadMpegInfo(app / "out.mp3", info), 1);
  EXPECT_EQ(r.output,
            "FirstFrame=1\nAudioLength=" + std::to_string(info.AudioLength) + "\nAudioEnd=" +
                std::to_string(info.AudioEnd) + "\nFileLength=" + std::to_string(info.FileLength) +
                "\nSearchSpan=1567\nIsVbr=0\nVbrFrames=0\nRate=44100\nLayer=3\nKbps=160\n"
                "ChannelCount=2\nChannelMode=1\nLowRate=0\nLengthMs=" +
                std::to_string(info.LengthMs) +
                "\nShortText=mp3(44.1kHz/160kb/JS)\nLongText=mp3(44100Hz/160kbps/JointStereo)\n"
                "HeaderBytes=FBA064\n");

  r = Varn("decode " + app / "out.mp3 " + app / "back.wav");
  ASSERT_EQ(r.exitCode, 0) << Stderr();
  const WavInfo w = ReadWavInfo(app / "back.wav");
  EXPECT_EQ(w.SampleRate, 44100);
  EXPECT_EQ(w.Channels, 2);
  EXPECT_GE(w.FrameCount, 88200);
}

TEST_F(CodecCliTest, TheBitRateOptionIsUsedAndCheckedAgainstTheRate) {
  test::WriteWav(app / "in.wav", 22050, 1, test::ToneFrames(440, 22050, 22050, 1));
  ASSERT_EQ(Varn("encode --bitrate 48 " + app / "in.wav " + app / "out.mp3").exitCode, 0);
  MpegInfo info;
  ASSERT_EQ(ReadMpegInfo(app / "out.mp3", info), 1);
  EXPECT_EQ(info.Kbps, 48);
  EXPECT_EQ(info.ChannelCount, 1);

  EXPECT_EQ(Varn("encode --bitrate 320 " + app / "in.wav " + app / "bad.mp3").exitCode, 1);
  EXPECT_NE(Stderr().find("320 kbit/s at 22050 Hz"), std::string::npos);
  EXPECT_FALSE(test::PathExists(app / "bad.mp3"));
}

TEST_F(CodecCliTest, FilesThatCannotBeReadFailWithAMessage) {
  test::WriteText(app / "junk.bin", std::string(3000, 'j'));
  auto r = Varn("mpeginfo " + app / "junk.bin");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output.rfind("FirstFrame=1\nAudioLength=0\n", 0), 0u);
  EXPECT_NE(Stderr().find("cannot be read as an MPEG audio file"), std::string::npos);
  EXPECT_EQ(Varn("mpeginfo " + app / "missing.mp3").exitCode, 1);
  EXPECT_EQ(Varn("decode " + app / "junk.bin " + app / "x.wav").exitCode, 1);
  EXPECT_FALSE(test::PathExists(app / "x.wav"));
  EXPECT_EQ(Varn("encode " + app / "junk.bin " + app / "x.mp3").exitCode, 1);
  EXPECT_NE(Stderr().find("cannot be read as a WAV file"), std::string::npos);
  EXPECT_FALSE(test::PathExists(app / "x.mp3"));
}

TEST_F(CodecCliTest, AFileThatFailsIsNamedWithTheSystemsReason) {
  test::WriteWav(app / "in.wav", 44100, 2, test::ToneFrames(440, 44100, 4410, 2));
  EXPECT_EQ(Varn("encode " + app / "in.wav /proc/x.mp3").exitCode, 1);
  EXPECT_EQ(Stderr(), "varn: cannot create /proc/x.mp3: No such file or directory\n");
  EXPECT_EQ(Varn("wavinfo " + app / "missing.wav").exitCode, 1);
  EXPECT_EQ(Stderr(), "varn: cannot open " + app / "missing.wav: No such file or directory\n");
  EXPECT_EQ(Varn("mpeginfo " + app.Path()).exitCode, 1);
  EXPECT_NE(Stderr().find(": Is a directory"), std::string::npos) << Stderr();
  EXPECT_EQ(Varn("analyze " + app / "missing.mp3").exitCode, 1);
  EXPECT_EQ(Stderr(), "varn: " + app / "missing.mp3" +
                          " does not exist or is not a file (No such file or directory)\n");
  EXPECT_EQ(Varn("decode " + app / "missing.mp3 " + app / "out.wav").exitCode, 1);
  EXPECT_NE(Stderr().find("cannot open " + app / "missing.mp3"), std::string::npos) << Stderr();
}

}  // namespace
}  // namespace varn
