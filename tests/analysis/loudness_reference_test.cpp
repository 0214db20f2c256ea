// `varn analyze --loudness` against ffmpeg's ebur128 filter, an independent
// R128 implementation, on speech (espeak-ng) and on pink noise.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "support/run_command.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

using nlohmann::json;

bool Have(const std::string& program) {
  return test::RunCommand("command -v " + program + " >/dev/null 2>&1").exitCode == 0;
}

// The figures of ffmpeg's summary ("I:  -23.0 LUFS", "LRA:  5.2 LU",
// "Peak:  -1.0 dBFS"), by name.
std::map<std::string, double> FfmpegLoudness(const std::string& file, bool mono) {
  const std::string filter = mono ? "ebur128=peak=true:dualmono=true" : "ebur128=peak=true";
  const std::string log = test::RunCommand("ffmpeg -hide_banner -nostats -i " + file + " -af " +
                                           filter + " -f null - 2>&1 >/dev/null")
                              .output;
  std::map<std::string, double> figures;
  std::istringstream in(log.substr(std::min(log.rfind("Summary:"), log.size())));
  for (std::string name; in >> name;) {
    if (name == "I:" || name == "LRA:" || name == "Peak:") in >> figures[name];
  }
  return figures;
}

// Pink noise (Paul Kellet's filter over white noise), one generator per side.
test::Samples PinkNoise(uint32_t seed, double gain, int64_t frames) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> white(-1.0, 1.0);
  double b[2][3] = {};
  test::Samples s;
  for (int64_t i = 0; i < frames; ++i) {
    for (auto& side : b) {
      const double x = white(gen);
      side[0] = 0.99765 * side[0] + x * 0.0990460;
      side[1] = 0.96300 * side[1] + x * 0.2965164;
      side[2] = 0.57000 * side[2] + x * 1.0526913;
      const double v = (side[0] + side[1] + side[2] + x * 0.1848) * gain * 32767;
      s.push_back(static_cast<int16_t>(std::lround(std::clamp(v, -32767.0, 32767.0))));
    }
  }
  return s;
}

TEST(LoudnessReferenceTest, AgreesWithFfmpegOnSpeechAndPinkNoise) {
  if (!Have("ffmpeg") || !Have("espeak-ng"))
    GTEST_SKIP() << "needs ffmpeg and espeak-ng (scripts/setup.sh installs them)";
  test::TempDir dir;
  // Speech at three voice levels, looped to 40 s, as a 48000 Hz mono file.
  const char* sentences[] = {
      "Good evening. Here is the news at six o'clock, read for the loudness test.",
      "Rain will spread from the west overnight, heavy at times on the hills.",
      "And finally, the orchestra plays the overture once more before the break."};
  const int amplitudes[] = {180, 50, 110};
  std::string inputs;
  for (int k = 0; k < 3; ++k) {
    const std::string part = dir / ("part" + std::to_string(k) + ".wav");
    ASSERT_EQ(test::RunCommand("espeak-ng -a " + std::to_string(amplitudes[k]) + " -w " + part +
                               " \"" + sentences[k] + "\"")
                  .exitCode,
              0);
    inputs += " -i " + part;
  }
  ASSERT_EQ(test::RunCommand("ffmpeg -hide_banner -loglevel error" + inputs +
                             " -filter_complex concat=n=3:v=0:a=1 " + dir / "joined.wav")
                .exitCode,
            0);
  ASSERT_EQ(test::RunCommand("ffmpeg -hide_banner -loglevel error -stream_loop -1 -i " +
                             dir / "joined.wav -t 40 -ar 48000 -ac 1 -c:a pcm_s16le " +
                             dir / "speech.wav")
                .exitCode,
            0);
  // Pink noise at three levels: 15 s, 15 s 8 dB down, 10 s 4 dB up.
  test::Samples pink = PinkNoise(1, 0.1, 15 * 48000);
  for (auto [seed, db, seconds] : {std::tuple{2u, -8.0, 15}, std::tuple{3u, 4.0, 10}}) {
    pink = test::Concat(pink, PinkNoise(seed, 0.1 * std::pow(10, db / 20), seconds * 48000));
  }
  test::WriteWav(dir / "pink.wav", 48000, 2, pink);

  test::WriteText(dir / "varn.ini", "[conf]\n");
  const auto r = test::RunCommand(std::string(VARN_EXE) + " --app-folder " + dir.Path() +
                                  " analyze --loudness --json " + dir / "speech.wav " +
                                  dir / "pink.wav 2>/dev/null");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  std::istringstream lines(r.output);
  for (const bool mono : {true, false}) {
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const json file = json::parse(line);
    SCOPED_TRACE(file["file"].get<std::string>());
    EXPECT_GE(file["duration_s"].get<double>(), 30.0);
    const json& ours = file["loudness"];
    const auto theirs = FfmpegLoudness(file["file"], mono);
    ASSERT_EQ(theirs.size(), 3u) << "no summary from ffmpeg";
    EXPECT_NEAR(ours["integrated_lufs"].get<double>(), theirs.at("I:"), 0.3);
    EXPECT_NEAR(ours["range_lu"].get<double>(), theirs.at("LRA:"), 1.0);
    EXPECT_NEAR(ours["true_peak_dbtp"].get<double>(), theirs.at("Peak:"), 0.5);
    // A programme that moves: the range is worth comparing.
    EXPECT_GT(theirs.at("LRA:"), 3.0);
  }
}

}  // namespace
}  // namespace varn
