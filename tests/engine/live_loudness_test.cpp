// A running line's loudness: measured from every block whether or not the
// line archives, read live, and reported once per hour and at the stop,
// before the stop line.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "engine/engine_fixture.h"

namespace varn::test {
namespace {

constexpr int kLoudnessRate = 48000;

class LiveLoudnessTest : public EngineFixture {
 protected:
  // Channel 1 the line-up tone, not archived; channel 2 programme, in WAV.
  void BuildTwo(const std::string& extra = "") {
    Build(
        "NumRec=2\nDeviceName_1=Sim Tone 1kHz\nDeviceName_2=Sim Programme\nRecFreq_1=48000\n"
        "RecFreq_2=48000\nArcOn_1=0\nBitRate_2=0\n" +
        extra);
    engine->BeginRunning(false);
    engine->StartChannel(0);
    engine->StartChannel(1);
  }
  void RunBoth(double seconds) { Run(seconds, {kToneDevice, kProgrammeDevice}, kLoudnessRate); }
  // Positions in the event file of lines that contain `text`.
  std::vector<size_t> Where(const std::string& text) const {
    std::vector<size_t> at;
    const std::vector<std::string> texts = EventTexts();
    for (size_t i = 0; i < texts.size(); ++i)
      if (texts[i].find(text) != std::string::npos) at.push_back(i);
    return at;
  }
};

TEST_F(LiveLoudnessTest, ATonesLoudnessIsReadLiveAndEachHourAndRunEndsWithItsLine) {
  clock.Set(DateTime{2026, 3, 14, 10, 59, 53, 0});
  BuildTwo();
  RunBoth(4.0);
  const LoudnessReadings now = engine->Loudness(0);
  ASSERT_TRUE(now.shortTermLufs && now.momentaryLufs && now.integratedLufs && now.truePeakDbtp);
  EXPECT_NEAR(*now.shortTermLufs, -20.0, 0.3);  // a -20 dBFS stereo sine
  EXPECT_NEAR(*now.momentaryLufs, -20.0, 0.3);
  EXPECT_NEAR(*now.integratedLufs, -20.0, 0.3);
  EXPECT_NEAR(*now.truePeakDbtp, -20.0, 0.3);
  EXPECT_TRUE(engine->Loudness(1).momentaryLufs);  // the archiving line too
  EXPECT_EQ(CountEvents("ラウドネス"), 0);

  RunBoth(4.0);  // past 11:00:00: the hour ends for both lines
  ASSERT_EQ(Where("ラウドネス").size(), 2u) << Events();
  // The histogram's 0.1 LU bins may round the last digit either way.
  const std::regex toneLine(R"(ラウドネス I -(19\.9|20\.[01])LUFS LRA \d+\.\dLU TP -20\.0dBTP)");
  const std::vector<std::string> texts = EventTexts();
  EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                          [&](const std::string& t) { return std::regex_search(t, toneLine); }),
            1)
      << Events();
  // The new hour is measured afresh: under 3 s of it, no short-term yet.
  EXPECT_FALSE(engine->Loudness(0).shortTermLufs);
  EXPECT_TRUE(engine->Loudness(0).momentaryLufs);

  engine->StopChannel(0);
  TickAfter(0.01);  // the run's last line comes from the archive worker
  const std::vector<size_t> lines = Where("ラウドネス");
  ASSERT_EQ(lines.size(), 3u) << Events();
  // Less than 3 s in the hour: the range does not exist yet.
  EXPECT_NE(EventTexts()[lines[2]].find("LRA ---LU"), std::string::npos) << Events();
  const std::vector<size_t> stops = Where("録音停止");
  ASSERT_EQ(stops.size(), 1u);
  EXPECT_GT(lines[2], stops[0]);
  EXPECT_FALSE(engine->Loudness(0).momentaryLufs);  // a stopped line reads nothing

  engine->CloseChannels();
  EXPECT_TRUE(engine->FinishArchives(5.0).empty());
  EXPECT_EQ(Where("ラウドネス").size(), 4u) << Events();
}

TEST_F(LiveLoudnessTest, LoudnessLogOffWritesNoLineButTheLoudnessIsStillRead) {
  clock.Set(DateTime{2026, 3, 14, 10, 59, 57, 0});
  BuildTwo("LoudnessLog=0\n");
  RunBoth(4.0);
  engine->CloseChannels();
  EXPECT_EQ(CountEvents("ラウドネス"), 0) << Events();
  EXPECT_EQ(CountEvents("録音停止"), 2);
}

}  // namespace
}  // namespace varn::test
