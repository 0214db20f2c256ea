// `varn analyze` over several files, in parallel, as text and as JSON, and
// with the loudness.

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/run_command.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

using nlohmann::json;

class AnalyzeFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { Settings(""); }
  // WAV buffers (2304 frames at 8000 Hz), as in the one-file tests.
  void Settings(const std::string& extra) {
    test::WriteText(app / "varn.ini", "[conf]\nBitRate_1=0\nMaxGateLevel_1=-8\n" + extra);
  }
  // stdout, or stdout and stderr together.
  test::CommandResult Analyze(const std::string& args, bool withErrors = false) {
    return test::RunCommand("cd " + app.Path() + " && XDG_CONFIG_HOME=" + home.Path() + " " +
                            VARN_EXE + " --app-folder " + app.Path() + " analyze " + args +
                            (withErrors ? " 2>&1" : " 2>/dev/null"));
  }
  // `seconds` of silence, 1 s of a 1 kHz sine at half scale, 1 s of silence.
  void WriteProgramme(const std::string& name, double seconds = 1.0) {
    const test::Samples before = test::Silence(static_cast<int64_t>(seconds * 8000));
    test::WriteWav(app / name, 8000, 1,
                   test::Concat(test::Concat(before, test::Sine(8000, 1000, 16384, 8000)),
                                test::Silence(8000)));
  }
  // A 1 kHz sine at `dbfs` (of its peak) on every channel.
  void WriteTone(const std::string& name, int channels, double dbfs, double seconds) {
    const test::Samples s = test::Sine(48000, 1000, 32768 * std::pow(10, dbfs / 20),
                                       static_cast<int64_t>(seconds * 48000));
    test::WriteWav(app / name, 48000, channels, channels == 2 ? test::Interleave(s, s) : s);
  }
  std::vector<json> JsonLines(const std::string& text) {
    std::vector<json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
    return lines;
  }
  std::string LoudnessLine(const std::string& args) {
    const std::string out = Analyze("--loudness " + args).output;
    const size_t at = out.find("loudness ");
    return at == std::string::npos ? out : out.substr(at, out.find('\n', at) - at);
  }
  test::TempDir app;
  test::TempDir home;
};

TEST_F(AnalyzeFilesTest, EachFileUnderItsNameInTheOrderGivenAndAFailureDoesNotStopTheRest) {
  // The first file is the longest: with two jobs it ends last.
  WriteProgramme("long.wav", 20);
  WriteProgramme("short.wav");
  test::WriteText(app / "junk.wav", "not audio");
  const std::string longAlone = Analyze("long.wav").output;
  const std::string shortAlone = Analyze("short.wav").output;
  ASSERT_NE(shortAlone.find("levels max"), std::string::npos);

  const auto r = Analyze("long.wav junk.wav short.wav --jobs 2", true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output,
            "== long.wav\n" + longAlone +
                "== junk.wav\nvarn: junk.wav cannot be read as a WAV file\n== short.wav\n" +
                shortAlone);
  // Text or JSON, one job or two: the same report.
  for (const char* format : {"", "--json ", "--loudness ", "--json --loudness "}) {
    SCOPED_TRACE(format);
    const std::string files =
        std::string(format) + "long.wav junk.wav short.wav missing.wav short.wav";
    const auto one = Analyze(files + " --jobs 1", true);
    const auto two = Analyze(files + " --jobs 2", true);
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_EQ(two.exitCode, 1);
    EXPECT_EQ(one.output, two.output);
  }
  EXPECT_EQ(Analyze("short.wav short.wav").exitCode, 0);
  EXPECT_NE(Analyze("short.wav --jobs 0", true).exitCode, 0);
}

TEST_F(AnalyzeFilesTest, JsonGivesOneObjectPerFile) {
  WriteProgramme("20261206235959.wav");
  WriteProgramme("take.wav");
  test::WriteText(app / "junk.wav", "not audio");
  const auto r = Analyze("--json 20261206235959.wav junk.wav take.wav");
  EXPECT_EQ(r.exitCode, 1);
  const std::vector<json> files = JsonLines(r.output);
  ASSERT_EQ(files.size(), 3u) << r.output;

  const json& archive = files[0];
  EXPECT_EQ(archive["file"], "20261206235959.wav");
  EXPECT_EQ(archive["duration_s"], 3.0);
  EXPECT_FALSE(archive.contains("loudness"));
  // The events of the text report (see analyze_command_test.cpp), in order.
  const json& events = archive["events"];
  ASSERT_EQ(events.size(), 6u) << archive.dump();
  EXPECT_EQ(events[0], (json{{"time_s", 0.816},
                             {"event", "low_level"},
                             {"side", "L"},
                             {"text", "レベルDOWN -99.0db(RMS)"},
                             {"wall_time", "2026/12/06 23:59:59"}}));
  EXPECT_EQ(events[1]["event"], "click");
  EXPECT_EQ(events[2]["event"], "over_level");
  EXPECT_EQ(events[3]["event"], "low_level_end");
  EXPECT_EQ(events[3]["wall_time"], "2026/12/07 00:00:00");
  EXPECT_EQ(events[4]["event"], "over_level_end");
  EXPECT_EQ(events[5]["time_s"], 2.304);
  // "levels max -9.0 -99.0 -6.0 -99.0 min -99.0 0.0 -99.0 0.0", to 0.01 dB.
  const json& levels = archive["levels"];
  EXPECT_NEAR(levels["max_rms_db"]["L"].get<double>(), -9.03, 0.005);
  EXPECT_EQ(levels["max_rms_db"]["R"], -99.0);
  EXPECT_NEAR(levels["max_peak_db"]["L"].get<double>(), -6.02, 0.005);
  EXPECT_EQ(levels["min_peak_db"], (json{{"L", -99.0}, {"R", 0.0}}));
  EXPECT_EQ(levels["min_rms_db"], (json{{"L", -99.0}, {"R", 0.0}}));

  EXPECT_EQ(files[1],
            (json{{"file", "junk.wav"}, {"error", "junk.wav cannot be read as a WAV file"}}));
  // Not an archive name: no wall-clock time.
  EXPECT_TRUE(files[2]["events"][0]["wall_time"].is_null());
  EXPECT_EQ(files[2]["events"].size(), 6u);
}

TEST_F(AnalyzeFilesTest, LoudnessOfTheFramesAfterGainOnTheFilesOwnChannels) {
  WriteTone("stereo.wav", 2, -23, 10);
  WriteTone("mono.wav", 1, -23, 10);
  test::WriteWav(app / "silence.wav", 48000, 2, test::Silence(96000 * 2));
  const std::string steady = "loudness I -23.0 LRA 0.0 Mmax -23.0 Smax -23.0 TP -23.0";
  EXPECT_EQ(LoudnessLine("stereo.wav"), steady);
  EXPECT_EQ(LoudnessLine("mono.wav"), steady);  // dual mono
  EXPECT_EQ(LoudnessLine("silence.wav"), "loudness I --- LRA --- Mmax --- Smax --- TP ---");
  // Channel 1's gain counts; its stereo mode, which only picks what the
  // detectors watch, does not.
  Settings("RecLevelDB_1=6\nStereoMode_1=3\n");
  EXPECT_EQ(LoudnessLine("stereo.wav"), "loudness I -17.0 LRA 0.0 Mmax -17.0 Smax -17.0 TP -17.0");

  const std::vector<json> files =
      JsonLines(Analyze("--json --loudness stereo.wav silence.wav").output);
  ASSERT_EQ(files.size(), 2u);
  const json& loud = files[0]["loudness"];
  EXPECT_NEAR(loud["integrated_lufs"].get<double>(), -17.0, 0.05);
  EXPECT_NEAR(loud["range_lu"].get<double>(), 0.0, 0.05);
  EXPECT_NEAR(loud["momentary_max_lufs"].get<double>(), -17.0, 0.05);
  EXPECT_NEAR(loud["short_term_max_lufs"].get<double>(), -17.0, 0.05);
  EXPECT_NEAR(loud["true_peak_dbtp"].get<double>(), -17.0, 0.05);
  EXPECT_EQ(files[1]["loudness"], (json{{"integrated_lufs", nullptr},
                                        {"range_lu", nullptr},
                                        {"momentary_max_lufs", nullptr},
                                        {"short_term_max_lufs", nullptr},
                                        {"true_peak_dbtp", nullptr}}));
}

}  // namespace
}  // namespace varn
