// The varn executable as an operator uses it: wavinfo and config.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "archive/wav_file.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

class CliTest : public ::testing::Test {
 protected:
  test::CommandResult Varn(const std::string& args) {
    return test::RunCommand("XDG_CONFIG_HOME=" + home.Path() + " " + VARN_EXE + " --app-folder " +
                            app.Path() + " " + args + " 2>" + home / "stderr.txt");
  }
  std::string Stderr() const { return test::ReadText(home / "stderr.txt"); }
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
  const auto unknown = Varn("config get NotAKey");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.output, "");
  EXPECT_EQ(Stderr(), "varn: unknown setting NotAKey\n");
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

TEST_F(CliTest, ConfigSetRefusesWhatTheProgramWouldNotReadAsMeantAndStoresNothing) {
  test::WriteText(app / "varn.ini", "[conf]\nNumRec=2\n");
  struct Case {
    const char* args;
    const char* message;
  };
  for (const Case c : {Case{"NumRec 99", "NumRec must be a whole number from 1 to 8"},
                       Case{"NumRec abc", "NumRec must be a whole number from 1 to 8"},
                       Case{"NumRec 2.5", "NumRec must be a whole number from 1 to 8"},
                       Case{"RecFreq_1 44000",
                            "RecFreq_1 must be one of 192000, 96000, 88200, "
                            "48000, 44100, 32000, 24000, 22050, 16000, 12000, "
                            "11025, 8000"},
                       Case{"BitRate_3 150", "BitRate_3 must be one of 0, 8, 16, 24"},
                       Case{"RecMode_1 1", "RecMode_1 must be one of 2, 3"},
                       Case{"RecLevelDB_1 41", "RecLevelDB_1 must be a number from -99 to 40"},
                       Case{"FFTAvrSec_2 soon", "FFTAvrSec_2 must be a number"},
                       Case{"TabWidth_LV_1 9.5", "TabWidth_LV_1 must be a whole number"},
                       Case{"DeviceName_9 x", "unknown setting DeviceName_9"},
                       Case{"NoSuchKey 1", "unknown setting NoSuchKey"}}) {
    EXPECT_EQ(Varn(std::string("config set ") + c.args).exitCode, 2) << c.args;
    EXPECT_NE(Stderr().find(c.message), std::string::npos) << c.args << ": " << Stderr();
  }
  EXPECT_EQ(test::ReadText(app / "varn.ini"), "[conf]\nNumRec=2\n");  // nothing stored
  // What passes is stored; a one-decimal value is rounded to its decimal.
  EXPECT_EQ(Varn("config set RecLevelDB_1 -3.14159").exitCode, 0);
  EXPECT_EQ(Varn("config get RecLevelDB_1").output, "-3.1\n");
  EXPECT_EQ(Varn("config set RecFreq_2 48000").exitCode, 0);
  EXPECT_EQ(Varn("config set DeviceName_8 'Line In (USB Audio)'").exitCode, 0);
  EXPECT_EQ(Varn("config get DeviceName_8").output, "Line In (USB Audio)\n");
}

TEST_F(CliTest, ConfigSetTakesForTheMetricsOnlyAnAddressTheyCanListenOn) {
  test::WriteText(app / "varn.ini", "[conf]\n");
  EXPECT_EQ(Varn("config set metricslisten 127.0.0.1:99999").exitCode, 2);
  EXPECT_NE(Stderr().find("MetricsListen \"127.0.0.1:99999\": the port must be a number from 1 "
                          "to 65535"),
            std::string::npos)
      << Stderr();
  EXPECT_EQ(test::ReadText(app / "varn.ini"), "[conf]\n");
  EXPECT_EQ(Varn("config set MetricsListen [::1]:9464").exitCode, 0);
  EXPECT_EQ(Varn("config get MetricsListen").output, "[::1]:9464\n");
  EXPECT_EQ(Varn("config set MetricsListen ''").exitCode, 0);  // off again
  EXPECT_EQ(Varn("config get MetricsListen").output, "\n");
}

TEST_F(CliTest, ConfigSetRefusesWhatItsKeyCannotHoldAndStoresLongCommandsWhole) {
  test::WriteText(app / "varn.ini", "[conf]\n");
  // 283 bytes: more than an original key holds, well within a command's 4096.
  const std::string command = "/usr/local/bin/varn-alert --to ops@example.org --retries 3 " +
                              std::string(208, 'a') + " --last-argument";
  ASSERT_EQ(command.size(), 283u);
  EXPECT_EQ(Varn("config set ChName_1 '" + command + "'").exitCode, 2);
  EXPECT_EQ(Stderr(), "varn: ChName_1 holds at most 254 bytes; this value has 283\n");
  EXPECT_EQ(Varn("config set EventCommand '" + command + "'").exitCode, 0);
  EXPECT_EQ(Varn("config get EventCommand").output, command + "\n");
  EXPECT_NE(test::ReadText(app / "varn.ini").find("EventCommand=" + command + "\n"),
            std::string::npos);
  EXPECT_EQ(Varn("config set ArchiveCommand " + std::string(4097, 'x')).exitCode, 2);
  EXPECT_EQ(Stderr(), "varn: ArchiveCommand holds at most 4096 bytes; this value has 4097\n");
  EXPECT_EQ(test::ReadText(app / "varn.ini").find("ArchiveCommand=x"), std::string::npos);
}

// A settings file edited by hand, as found on a machine.
constexpr const char* kHandEdited =
    "[conf]\nNumRec=banana\nInputTimeoutSec=0\nMaxGateLevel_1=-3 dB\nRecFreq_1=48000\n"
    "just some words\n";
constexpr const char* kHandEditedProblems[] = {
    "varn.ini line 2: NumRec=banana is not a whole number from 1 to 8; using 1",
    "varn.ini line 3: InputTimeoutSec=0 is not a number from 1 to 60; using 1.0",
    "varn.ini line 4: MaxGateLevel_1=-3 dB is not a number from -99 to 40; using 0",
    "varn.ini line 6: \"just some words\" is not a setting (KEY=VALUE); ignored",
};

TEST_F(CliTest, ConfigCheckNamesEveryUnusableValueAndGetPrintsTheValueUsed) {
  test::WriteText(app / "varn.ini", kHandEdited);
  const auto check = Varn("config check");
  EXPECT_EQ(check.exitCode, 1);
  std::string expected;
  for (const char* line : kHandEditedProblems) expected += std::string(line) + "\n";
  EXPECT_EQ(check.output, expected);

  const auto get = Varn("config get NumRec");
  EXPECT_EQ(get.exitCode, 0);
  EXPECT_EQ(get.output, "1\n");
  EXPECT_EQ(Stderr(), "varn: " + std::string(kHandEditedProblems[0]) + "\n");
  EXPECT_EQ(Varn("config get RecFreq_1").output, "48000\n");
  EXPECT_EQ(Stderr(), "");

  // Once the values are set right the file is clean.
  test::WriteText(app / "varn.ini", "[conf]\nNumRec=2\nInputTimeoutSec=5\n");
  const auto clean = Varn("config check");
  EXPECT_EQ(clean.exitCode, 0);
  EXPECT_EQ(clean.output, app / "varn.ini: every stored value can be used\n");
  // The metrics address is judged as config set judges it.
  test::WriteText(app / "varn.ini", "[conf]\nMetricsListen=127.0.0.1:99999\n");
  EXPECT_EQ(Varn("config check").output,
            "varn.ini line 2: MetricsListen=127.0.0.1:99999 is not an address and port to listen "
            "on ([ADDR:]PORT); using \"\"\n");
}

TEST_F(CliTest, TheMonitorNamesUnusableValuesAtStartOnStandardErrorAndInTheDiagnosticsFile) {
  test::WriteText(app / "varn.ini", std::string(kHandEdited) + "ArcOn_1=0\n");
  const auto r = Varn("--headless --audio sim --duration 0.2");
  EXPECT_EQ(r.exitCode, 0);
  const std::string err = Stderr();
  std::string diagnostics;
  for (const auto& e : std::filesystem::directory_iterator(app / "varn_data"))
    if (e.path().extension() == ".err") diagnostics += test::ReadText(e.path().string());
  for (const char* line : kHandEditedProblems) {
    EXPECT_NE(err.find("varn: " + std::string(line) + "\n"), std::string::npos) << err;
    EXPECT_NE(diagnostics.find(std::string(line) + "\r\n"), std::string::npos) << diagnostics;
  }
}

TEST_F(CliTest, AHeadlessMonitorWhoseDataFolderCannotExistEndsWithTheReason) {
  test::WriteText(app / "plain", "a file, not a folder");
  test::WriteText(app / "varn.ini", "[conf]\nSoundpath=" + app / "plain/varn_data" + "\n");
  const auto r = Varn("--headless --audio sim --duration 5");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(Stderr(), "varn: データ用フォルダを作成できません: " + app / "plain/varn_data/" +
                          ": Not a directory\n");
  EXPECT_FALSE(test::PathExists(app / "varn.running"));  // a clean end, not a crash
}

TEST_F(CliTest, AHeadlessMonitorWhoseDataFolderIsReadOnlyEndsWithTheReason) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes whatever the permissions say";
  ASSERT_EQ(mkdir((app / "varn_data").c_str(), 0555), 0);
  const auto r = Varn("--headless --audio sim --duration 5");
  chmod((app / "varn_data").c_str(), 0755);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(Stderr(), "varn: データ用フォルダを作成できません: " + app / "varn_data/" +
                          ": Permission denied\n");
}

TEST_F(CliTest, ConfigDescribeTellsWhatAKeyTakesAndMeans) {
  const auto r = Varn("config describe bitrate_2");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output,
            "BitRate_N\n"
            "  scope    per line (N 1 to 8)\n"
            "  kind     whole number\n"
            "  values   one of 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, "
            "224, 256, 320\n"
            "  default  160\n"
            "  unit     kbit/s\n"
            "  meaning  bit rate of the line's MP3 archive files; 0 archives WAV instead\n");
  EXPECT_EQ(Varn("config describe BitRate_N").output, r.output);
  EXPECT_EQ(Varn("config describe NoSuchKey").exitCode, 2);
  EXPECT_EQ(Stderr(), "varn: unknown setting NoSuchKey\n");
  EXPECT_EQ(Varn("config describe NumRec --markdown").exitCode, 2);
}

// The README's reference is written by scripts/settings_reference.sh from
// `varn config describe --markdown`; a catalogue changed without running it
// fails here.
TEST_F(CliTest, TheReadmesSettingsReferenceIsTheCatalogues) {
  const std::string readme = test::ReadText(VARN_README);
  const std::string begin = "<!-- settings-reference:begin -->\n";
  const std::string end = "<!-- settings-reference:end -->";
  const size_t from = readme.find(begin);
  const size_t to = readme.find(end);
  ASSERT_NE(from, std::string::npos);
  ASSERT_NE(to, std::string::npos);
  const std::string section = readme.substr(from + begin.size(), to - from - begin.size());
  EXPECT_EQ(section, Varn("config describe --markdown").output)
      << "run scripts/settings_reference.sh";
}

TEST_F(CliTest, UnknownCommandsAndOptionsFail) {
  EXPECT_NE(Varn("nosuchcommand").exitCode, 0);
  EXPECT_NE(Varn("wavinfo").exitCode, 0);
  EXPECT_EQ(Varn("--version").output.rfind("varn ", 0), 0u);
}

}  // namespace
}  // namespace varn
