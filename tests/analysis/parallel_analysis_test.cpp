// Recordings analysed on several threads at once, as `varn analyze --jobs`
// does, while loudness meters come and go on another: each result must be
// what the file gives alone. Run under the ThreadSanitizer build, this is
// also the check that the analysis shares no state between jobs.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "analysis/file_analysis.h"
#include "analysis/loudness_meter.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

// Everything a file's analysis reports, as one text.
std::string Report(const std::string& path) {
  FileAnalysisSetup setup;
  setup.loudness = true;
  std::string error;
  const auto source = OpenPcmFile(path, &error);
  if (!source) return "cannot open: " + error;
  std::string text;
  const FileAnalysisResult r = AnalyseRecording(
      *source, setup, [&](const FileEvent& e) { text += EventLine(e, std::nullopt) + "\n"; });
  if (!r.ok || !r.loudness) return "failed: " + r.error;
  const LoudnessFigures& f = *r.loudness;
  return text + LevelsLine(r.levelMax, r.levelMin) + "\n" + LoudnessMessage(f) + " " +
         std::to_string(f.momentaryMaxLufs.value_or(0)) + " " +
         std::to_string(f.shortTermMaxLufs.value_or(0));
}

TEST(ParallelAnalysisTest, FilesAnalysedAtOnceGiveWhatEachGivesAlone) {
  test::TempDir dir;
  std::vector<std::string> files;
  for (int k = 0; k < 4; ++k) {
    const int rate = k % 2 ? 44100 : 48000;
    const int channels = k < 2 ? 2 : 1;
    test::Samples side = test::Concat(test::Noise(k + 1, 2000 * (k + 1), rate * 2),
                                      test::Sine(rate, 440 * (k + 1), 12000, rate * 2));
    test::AddClick(side, rate, 20000);
    files.push_back(dir / ("f" + std::to_string(k) + ".wav"));
    test::WriteWav(files.back(), rate, channels,
                   channels == 2 ? test::Interleave(side, test::Scaled(side, -6)) : side);
  }
  std::vector<std::string> alone;
  for (const std::string& f : files) alone.push_back(Report(f));
  ASSERT_NE(alone[0].find("ラウドネス I -"), std::string::npos) << alone[0];

  std::atomic<bool> done{false};
  std::thread churn([&] {
    // New meters while the others measure: libebur128 rewrites its globals.
    while (!done) {
      LoudnessMeter m(32000, 1);
      const int16_t frame[] = {1000};
      m.Add(frame, 1);
      m.Reset();
    }
  });
  std::vector<std::vector<std::string>> together(3);
  std::vector<std::thread> jobs;
  for (size_t j = 0; j < together.size(); ++j) {
    jobs.emplace_back([&, j] {
      for (size_t n = 0; n < files.size(); ++n)
        together[j].push_back(Report(files[(n + j) % files.size()]));
    });
  }
  for (std::thread& t : jobs) t.join();
  done = true;
  churn.join();
  for (size_t j = 0; j < together.size(); ++j)
    for (size_t n = 0; n < files.size(); ++n)
      EXPECT_EQ(together[j][n], alone[(n + j) % files.size()]) << "job " << j << ", file " << n;
}

}  // namespace
}  // namespace varn
