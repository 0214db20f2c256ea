#include "engine/analysis_pass.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "analysis/analysis_test_support.h"
#include "archive/archive_channel.h"
#include "audio/capture_channel.h"

namespace varn {
namespace {

using test::SetFramesWritten;

// Two channels at 8192 Hz: channel 0 stereo, channel 1 mono; buffers of
// 12288 frames, so a segment is 2048 frames and feeds the spectrum.
class AnalysisPassTest : public ::testing::Test {
 protected:
  static constexpr int kS = 12288;
  static constexpr int kSeg = 2048;

  AnalysisPassTest() : clock(DateTime{2026, 12, 7, 12, 0, 0, 0}) {
    settings.minGateSpan = 1;  // 8 frames
    test::SetUpCapture(capture[0], 8192, 2, kS, 4);
    test::SetUpCapture(capture[1], 8192, 1, kS, 4);
    for (int ch = 0; ch < 2; ++ch) {
      archive[ch].Capturing = 1;
      EXPECT_TRUE(analysis[ch].Start(AnalysisFormatOf(capture[ch]), settings));
      refs[ch] = {&capture[ch], &archive[ch], &analysis[ch]};
    }
    ctx = {&settings, &clock, &events, &view};
    hooks.monitorWrite = [this](int buffer, int segment, int64_t) {
      view.log.push_back("monitor " + std::to_string(buffer) + " " + std::to_string(segment));
    };
  }

  // Fills segment k of buffer b of a channel with one frame value.
  void FillSegment(int ch, int b, int k, int16_t left, int16_t right) {
    int16_t* p = capture[ch].Block(b) + static_cast<size_t>(k) * kSeg * capture[ch].Format.channels;
    for (int i = 0; i < kSeg; ++i) {
      if (capture[ch].Format.channels == 2) {
        p[2 * i] = left;
        p[2 * i + 1] = right;
      } else {
        p[i] = left;
      }
    }
  }
  void Pass() { AnalyseNewBlocks(refs, ctx, hooks); }
  // The device is in segment k of the buffer it fills.
  void DeviceAt(int ch, int k) {
    SetFramesWritten(capture[ch], static_cast<int64_t>(k) * kSeg + 10);
  }

  MonitorSettings settings;
  ManualClock clock;
  CaptureChannel capture[2];
  ArchiveChannel archive[2];
  ChannelAnalysis analysis[2];
  AnalysisChannelRefs refs[2];
  AnalysisContext ctx;
  AnalysisPassHooks hooks;
  test::RecordingEvents events;
  test::RecordingView view;
};

TEST_F(AnalysisPassTest, AnalysersRunInTheirOrderAfterTheMonitorOutput) {
  hooks.monitoredChannel = 0;
  DeviceAt(0, 0);
  DeviceAt(1, 0);
  Pass();  // records the segments only
  EXPECT_TRUE(view.log.empty());

  // Segment 0: silence on the right, a loud step on the left that is both a
  // click and a peak over the -6 dB gate.
  settings.maxGateLevel = -6.0f;
  FillSegment(0, 0, 0, 30000, 0);
  analysis[0].TickCount = 9;
  DeviceAt(0, 1);
  Pass();
  EXPECT_EQ(view.log,
            (std::vector<std::string>{"monitor 0 0", "spectrum 0", "meter 0", "waveform 0",
                                      "cell 0", "cell 2", "cell 3", "figures 0"}));
  ASSERT_EQ(events.events.size(), 3u);
  // The click's threshold comes from the previous level, here none: -40 dB
  // gives round(0.01 * 10485.76) = 105.
  EXPECT_EQ(events.events[0].message, "プチ音検出 285.71倍");
  EXPECT_EQ(events.events[1].message, "レベルDOWN -99.0db(RMS)");  // the silent right side
  EXPECT_EQ(events.events[1].side, 1);
  EXPECT_EQ(events.events[2].message, "レベルUP -0.8db(Peak)");
  EXPECT_EQ(analysis[0].levels.LevelMax.PeakL, analysis[0].meter.MeterWindow.Newest().PeakL);
}

TEST_F(AnalysisPassTest, TheMonitorsWaitForTheFirstTicks) {
  settings.maxGateLevel = -6.0f;
  FillSegment(0, 0, 0, 30000, 0);
  DeviceAt(0, 0);
  Pass();
  analysis[0].TickCount = 1;
  DeviceAt(0, 1);
  Pass();
  EXPECT_TRUE(events.events.empty());               // no click, low level or over-level yet
  EXPECT_EQ(analysis[0].click.Previous(0), 30000);  // but the click detector is primed
  EXPECT_EQ(view.cells[0], "");
  analysis[0].CountTick();
  FillSegment(0, 0, 1, 30000, 0);
  DeviceAt(0, 2);
  Pass();
  ASSERT_EQ(events.events.size(), 2u);  // no click: the step was primed away
  EXPECT_EQ(events.events[0].message, "レベルDOWN -99.0db(RMS)");
}

TEST_F(AnalysisPassTest, TheBlockComesFromTheChosenSegmentWithTheGainApplied) {
  for (int k = 0; k < 6; ++k) FillSegment(1, 2, k, static_cast<int16_t>(100 * (k + 1)), 0);
  capture[1].RecLevelDb = 6.0f;
  capture[1].NextBuffer = 2;
  DeviceAt(1, 1);
  Pass();
  DeviceAt(1, 4);  // a stall: segments 1, 2 and 3 completed since
  Pass();
  ASSERT_EQ(view.lastWaveform.size(), static_cast<size_t>(kSeg));
  EXPECT_EQ(view.lastWaveform[0].L, 798);  // segment 3 (400) at +6 dB
  EXPECT_EQ(view.lastWaveform[kSeg - 1].R, 0);
  EXPECT_EQ(std::count(view.log.begin(), view.log.end(), "waveform 1"), 1);
  EXPECT_EQ(std::count(view.log.begin(), view.log.end(), "waveform 0"), 0);
}

TEST_F(AnalysisPassTest, StoppedOrMismatchedChannelsAreLeftAlone) {
  archive[0].Capturing = 0;
  DeviceAt(0, 3);
  Pass();
  EXPECT_EQ(capture[0].Segments.lastSegmentSeen, -1);

  archive[0].Capturing = 1;
  MonitorSettings s;
  ASSERT_TRUE(analysis[0].Start(AnalysisFormat{8192, 2, 16, 6000}, s));  // sized for another buffer
  Pass();
  EXPECT_EQ(capture[0].Segments.lastSegmentSeen, -1);
  capture[0].SampleBlocks.resize(100);  // a ring without its samples
  ASSERT_TRUE(analysis[0].Start(AnalysisFormatOf(capture[0]), s));
  Pass();
  EXPECT_EQ(capture[0].Segments.lastSegmentSeen, -1);
}

// A step from -20000 to +20000 between two blocks is a click when the blocks
// are neighbours, and nothing when audio between them was never analysed.
TEST_F(AnalysisPassTest, NoClickIsReportedAcrossSkippedAudio) {
  auto clicks = [&] {
    return std::count_if(
        events.events.begin(), events.events.end(),
        [](const test::RecordedEvent& e) { return e.message.starts_with("プチ音検出"); });
  };
  for (const bool stall : {false, true}) {
    SCOPED_TRACE(stall ? "stall" : "contiguous");
    capture[0].Segments = SegmentTable::Build(kS);  // a new run
    ASSERT_TRUE(analysis[0].Start(AnalysisFormatOf(capture[0]), settings));
    analysis[0].TickCount = 9;
    events.events.clear();
    FillSegment(0, 0, 0, -20000, -20000);
    for (int k = 1; k < 6; ++k) FillSegment(0, 0, k, 20000, 20000);
    DeviceAt(0, 0);
    Pass();
    DeviceAt(0, 1);
    Pass();  // segment 0
    DeviceAt(0, stall ? 3 : 2);
    Pass();                              // segment 2 after a stall, else segment 1
    EXPECT_EQ(clicks(), stall ? 0 : 2);  // one a side
  }

  // Frames lost to an overrun make a gap just as well.
  FillSegment(0, 0, 3, -20000, -20000);
  DeviceAt(0, 4);
  Pass();
  capture[0].LostFrames += 500;
  DeviceAt(0, 5);
  Pass();
  EXPECT_EQ(clicks(), 0);
}

class ThrowingView : public test::RecordingView {
 public:
  void DrawSpectrum(int, std::span<const double>, std::span<const double>) override {
    throw std::runtime_error("drawing failed");
  }
};

TEST_F(AnalysisPassTest, AFailingStepDoesNotStopTheOthers) {
  ThrowingView throwing;
  ctx.view = &throwing;
  settings.maxGateLevel = -6.0f;
  FillSegment(0, 0, 0, 30000, 30000);
  DeviceAt(0, 0);
  Pass();
  analysis[0].TickCount = 5;
  DeviceAt(0, 1);
  Pass();
  EXPECT_EQ(throwing.meters.size(), 1u);
  EXPECT_EQ(events.events.size(), 4u);  // a click and an over-level on each side
}

TEST(ChannelAnalysisStart, RefusesFormatsItCannotAnalyse) {
  ChannelAnalysis a;
  MonitorSettings s;
  EXPECT_FALSE(a.Start(AnalysisFormat{48000, 3, 16, 13824}, s));
  EXPECT_FALSE(a.Start(AnalysisFormat{0, 2, 16, 13824}, s));
  EXPECT_FALSE(a.Start(AnalysisFormat{48000, 2, 16, 5}, s));  // no whole frame per segment
  EXPECT_FALSE(a.Ready());
  a.TickCount = 7;
  ASSERT_TRUE(a.Start(AnalysisFormat{48000, 2, 16, 13824}, s));
  EXPECT_EQ(a.TickCount, 0);
  EXPECT_EQ(a.SegmentLength(), 2304);
  EXPECT_EQ(a.meter.MeterWindow.Size(), 7);
  EXPECT_EQ(a.meter.HoldWindow.Size(), 41);
  EXPECT_EQ(a.lowLevel.WindowLength(), 14400);
  EXPECT_EQ(a.spectrum.TransformRows(), 15);
  EXPECT_EQ(a.levels.LevelMin.RmsL, 0.0);
  a.TickCount = 2147483646;
  a.CountTick();
  a.CountTick();
  EXPECT_EQ(a.TickCount, 2147483647);
}

TEST(ChannelAnalysisStart, KeepsTheLastChangeEventTimeAcrossRestarts) {
  ChannelAnalysis a;
  MonitorSettings s;
  a.spectrum.lastChangeEventTime = 1234.5f;
  ASSERT_TRUE(a.Start(AnalysisFormat{48000, 2, 16, 13824}, s));
  EXPECT_EQ(a.spectrum.lastChangeEventTime, 1234.5f);
}

// The engine keeps its channel records in a vector sized at start-up.
TEST(ChannelAnalysisStart, RecordsCanLiveInAVector) {
  std::vector<ChannelAnalysis> channels(2);
  MonitorSettings s;
  ManualClock clock;
  test::RecordingView view;
  const AnalysisContext ctx{&s, &clock, nullptr, &view};
  ASSERT_TRUE(channels[0].Start(AnalysisFormat{48000, 2, 16, 13824}, s));
  channels.resize(8);  // moved into new storage
  const auto block = channels[0].Convert(std::vector<int16_t>(2 * 2304, 16384).data(), 0.0f);
  channels[0].meterTextMode = MeterTextMode::Peak;
  channels[0].AnalyseBlock(0, block, ctx);
  ASSERT_EQ(view.meters.size(), 1u);
  EXPECT_EQ(view.meters[0][0].text, "-06.0");
}

}  // namespace
}  // namespace varn
