// `varn analyze` as an operator runs it on recordings.

#include <gtest/gtest.h>

#include "archive/wav_file.h"
#include "support/run_command.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

class AnalyzeCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { Settings(""); }
  // A settings file for the program folder: WAV buffers (2304 frames at 8000 Hz).
  void Settings(const std::string& extra) {
    test::WriteText(app / "varn.ini", "[conf]\nBitRate_1=0\n" + extra);
  }
  test::CommandResult Analyze(const std::string& args, bool withErrors = false) {
    return test::RunCommand("XDG_CONFIG_HOME=" + home.Path() + " " + VARN_EXE + " --app-folder " +
                            app.Path() + " analyze " + args +
                            (withErrors ? " 2>&1" : " 2>/dev/null"));
  }
  // 1 s of silence, 1 s of a 1 kHz sine at half scale, 1 s of silence.
  test::Samples Programme() {
    return test::Concat(test::Concat(test::Silence(8000), test::Sine(8000, 1000, 16384, 8000)),
                        test::Silence(8000));
  }
  test::TempDir app;
  test::TempDir home;
};

// Blocks are segments of 384 frames (48 ms). The detectors start with the
// twelfth block (TickCount 2, 0.528 s); the low-level windows are 2400
// frames from there; the click lockout is one second.
TEST_F(AnalyzeCommandTest, PrintsEveryEventAtTheStartOfItsBlockAndTheLevels) {
  Settings("MaxGateLevel_1=-8\n");
  test::WriteWav(app / "take.wav", 8000, 1, Programme());
  const auto r = Analyze(app / "take.wav");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(
      r.output,
      "00:00:00.816 ch1 Lch レベルDOWN -99.0db(RMS)\n"  // window 4224..6623
      "00:00:00.960 ch1 Lch プチ音検出 110.33倍\n"      // 0 -> 11585 over threshold 105
      "00:00:00.960 ch1 Lch レベルUP -6.0db(Peak)\n"
      "00:00:01.104 ch1 Lch レベルUP -12.7db(RMS)\n"  // window 6624..9023, 1024 frames of tone
      "00:00:02.016 ch1 Lch レベルDOWN -99.0db(Peak)\n"
      "00:00:02.304 ch1 Lch レベルDOWN -99.0db(RMS)\n"  // window 16224..18623
      // A mono file watches only its left side: the right keeps its start values.
      "levels max -9.0 -99.0 -6.0 -99.0 min -99.0 0.0 -99.0 0.0\n");
}

TEST_F(AnalyzeCommandTest, AnArchiveFileNameAddsTheWallClockTime) {
  Settings("MaxGateLevel_1=-8\n");
  test::WriteWav(app / "20261206235959.wav", 8000, 1, Programme());
  const auto r = Analyze(app / "20261206235959.wav");
  EXPECT_EQ(r.output.substr(0, r.output.find('\n')),
            "00:00:00.816 2026/12/06 23:59:59 ch1 Lch レベルDOWN -99.0db(RMS)");
  EXPECT_NE(r.output.find("00:00:01.104 2026/12/07 00:00:00 ch1 Lch"), std::string::npos);
  // Not a time: 13 digits, or a 31st of November.
  test::WriteWav(app / "2026120623595.wav", 8000, 1, Programme());
  test::WriteWav(app / "20261131120000.wav", 8000, 1, Programme());
  EXPECT_EQ(Analyze(app / "2026120623595.wav").output.rfind("00:00:00.816 ch1 Lch", 0), 0u);
  EXPECT_EQ(Analyze(app / "20261131120000.wav").output.rfind("00:00:00.816 ch1 Lch", 0), 0u);
}

TEST_F(AnalyzeCommandTest, UsesChannelOnesGainStereoModeAndTheChosenSet) {
  // Stereo: the tone on the right only. In MonoRight mode only the right side
  // is watched, lifted by 6.1 dB of gain: its peaks saturate at full scale.
  Settings(
      "StereoMode_1=3\nRecLevelDB_1=6.1\nMaxGateLevel_2=-1\nPuchiSense_2=0\nMinGateLevel_2=-99\n");
  test::WriteWav(app / "r.wav", 8000, 2, test::Interleave(test::Silence(24000), Programme()));
  const auto r = Analyze(app / "r.wav --set 2");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output,
            "00:00:00.960 ch1 Rch レベルUP 0.0db(Peak)\n"
            "00:00:02.016 ch1 Rch レベルDOWN -99.0db(Peak)\n"
            "levels max -99.0 -3.0 -99.0 0.0 min 0.0 -99.0 0.0 -99.0\n");
  // Without --set the selected set (1) gives the default thresholds.
  EXPECT_NE(Analyze(app / "r.wav").output.find("Rch プチ音検出"), std::string::npos);
  EXPECT_NE(Analyze(app / "r.wav --set 9", true).exitCode, 0);
}

TEST_F(AnalyzeCommandTest, AnEmptyRecordingGivesOnlyTheStartLevels) {
  test::WriteWav(app / "empty.wav", 44100, 2, {});
  const auto r = Analyze(app / "empty.wav");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "levels max -99.0 -99.0 -99.0 -99.0 min 0.0 0.0 0.0 0.0\n");
}

TEST_F(AnalyzeCommandTest, FilesItCannotReadFailWithAReason) {
  test::WriteText(app / "junk.wav", "not audio at all");
  auto r = Analyze(app / "junk.wav", true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("cannot be read as a WAV file"), std::string::npos) << r.output;
  r = Analyze(app / "missing.wav", true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("does not exist"), std::string::npos) << r.output;

  std::vector<uint8_t> surround = BuildWavHeader(48000, 16, 6, 12);
  surround.insert(surround.end(), 12, 0);
  test::WriteBytes(app / "51.wav", surround);
  r = Analyze(app / "51.wav", true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("holds 6 channels; only mono or stereo"), std::string::npos) << r.output;

  test::WriteBytes(app / "x.mp3", {0xFF, 0xFB, 0x90, 0x00, 0, 0, 0, 0});
  r = Analyze(app / "x.mp3", true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("MPEG audio"), std::string::npos) << r.output;
}

TEST_F(AnalyzeCommandTest, ReadsTheArchivesMp3FilesThroughTheDecoder) {
  Settings("MaxGateLevel_1=-8\n");
  // The programme at 44100 Hz, as an MP3 archive file would hold it.
  const test::Samples programme =
      test::Concat(test::Concat(test::Silence(44100), test::Sine(44100, 1000, 16384, 44100)),
                   test::Silence(44100));
  test::WriteWav(app / "take.wav", 44100, 1, programme);
  ASSERT_EQ(test::RunCommand(std::string(VARN_EXE) + " encode " + app / "take.wav " +
                             app / "20261206120000.mp3 --bitrate 128 >/dev/null 2>&1")
                .exitCode,
            0);
  const auto wav = Analyze(app / "take.wav");
  const auto mp3 = Analyze(app / "20261206120000.mp3", true);
  EXPECT_EQ(mp3.exitCode, 0) << mp3.output;
  // The same faults, found in the decoded file, with the wall-clock column.
  // (The coded tone comes back about 0.4 dB lower, as with any MP3 encoder.)
  for (const char* event :
       {"2026/12/06 12:00:00 ch1 Lch レベルDOWN -99.0db(RMS)", "12:00:01 ch1 Lch レベルUP -6.",
        "2026/12/06 12:00:01 ch1 Lch レベルUP -1",
        "2026/12/06 12:00:02 ch1 Lch レベルDOWN -99.0db(Peak)",
        "2026/12/06 12:00:02 ch1 Lch レベルDOWN -99.0db(RMS)"})
    EXPECT_NE(mp3.output.find(event), std::string::npos) << event << "\n" << mp3.output;
  EXPECT_NE(wav.output.find("levels max -9.0 -99.0 -6.0 "), std::string::npos) << wav.output;
  EXPECT_NE(mp3.output.find("levels max -9.5 -99.0 -6.4 "), std::string::npos) << mp3.output;
}

}  // namespace
}  // namespace varn
