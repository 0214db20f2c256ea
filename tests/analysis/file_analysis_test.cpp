#include "analysis/file_analysis.h"

#include <gtest/gtest.h>

#include "archive/wav_file.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

// Interleaved samples in memory, optionally failing after some frames.
class MemorySource : public PcmFileReader {
 public:
  MemorySource(int rate, int channels, test::Samples s)
      : rate_(rate), channels_(channels), s_(std::move(s)) {}
  int32_t SampleRate() const override { return rate_; }
  int32_t Channels() const override { return channels_; }
  int64_t Read(int16_t* d, int64_t frames) override {
    if (failAfter >= 0 && next_ >= failAfter) return -1;
    const int64_t total = static_cast<int64_t>(s_.size()) / channels_;
    const int64_t n = std::min(frames, total - next_);
    std::copy_n(s_.begin() + next_ * channels_, n * channels_, d);
    next_ += n;
    return n;
  }
  bool Rewind() override {
    next_ = 0;
    return true;
  }
  int64_t failAfter = -1;

 private:
  int rate_;
  int channels_;
  test::Samples s_;
  int64_t next_ = 0;
};

std::vector<FileEvent> Analyse(PcmFileReader& source, const FileAnalysisSetup& setup,
                               FileAnalysisResult* out = nullptr) {
  std::vector<FileEvent> events;
  const FileAnalysisResult r =
      AnalyseRecording(source, setup, [&](const FileEvent& e) { events.push_back(e); });
  if (out) *out = r;
  return events;
}

TEST(AnalyseRecording, TheFirstSpectrumChangeMayComeBeforeThreeSeconds) {
  FileAnalysisSetup setup;
  setup.bitRate = 0;  // 48000 Hz: buffers of 13824 frames, TickCount 9 from 2.544 s
  setup.settings.fftSense = 99;
  test::Samples programme;
  for (int part = 0; part < 15; ++part)
    programme = test::Concat(programme, part % 2 ? test::Noise(part, 20000, 9600)
                                                 : test::Sine(48000, 200 * part, 9000, 9600));
  MemorySource source(48000, 1, programme);
  std::vector<FileEvent> changes;
  for (const FileEvent& e : Analyse(source, setup))
    if (e.side == kWholeChannel) changes.push_back(e);
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes[0].positionMs, (8 * 13824 + 5 * 2304) * 1000 / 48000);
  for (size_t i = 1; i < changes.size(); ++i)
    EXPECT_GT(changes[i].positionMs - changes[i - 1].positionMs, 3000);
}

TEST(AnalyseRecording, AReadFailureIsReported) {
  FileAnalysisSetup setup;
  MemorySource source(8000, 2, test::Silence(100000));
  source.failAfter = 13824;
  FileAnalysisResult r;
  Analyse(source, setup, &r);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "could not be read to its end");
  MemorySource odd(3000000, 2, test::Silence(10));
  Analyse(odd, setup, &r);
  EXPECT_FALSE(r.ok);
}

TEST(AnalyzeTexts, PositionsStartTimesAndLines) {
  EXPECT_EQ(PositionText(0), "00:00:00.000");
  EXPECT_EQ(PositionText(3723456), "01:02:03.456");
  EXPECT_EQ(PositionText(360000000), "100:00:00.000");

  const auto t = ArchiveStartTime("/data/ch1/20240229235959.mp3");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->day, 29);
  EXPECT_EQ(t->second, 59);
  EXPECT_FALSE(ArchiveStartTime("20230229120000.wav"));  // not a leap year
  EXPECT_FALSE(ArchiveStartTime("20231301120000.wav"));
  EXPECT_FALSE(ArchiveStartTime("20231201246000.wav"));
  EXPECT_FALSE(ArchiveStartTime("2023120112000a.wav"));
  EXPECT_FALSE(ArchiveStartTime("take1.wav"));

  EXPECT_EQ(EventLine({1500, "FFT変化 1.07倍", kWholeChannel}, std::nullopt),
            "00:00:01.500 ch1 FFT変化 1.07倍");
  EXPECT_EQ(EventLine({61999, "x", kRightSide}, t), "00:01:01.999 2024/03/01 00:01:00 ch1 Rch x");
  EXPECT_EQ(LevelsLine({-3.04, -99.0, 0.0, -0.04}, {-99.0, 0.0, -60.25, 0.0}),
            "levels max -3.0 -99.0 0.0 -0.0 min -99.0 0.0 -60.2 0.0");
}

}  // namespace
}  // namespace varn
