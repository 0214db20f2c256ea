// Monitor output against virtual devices driven by hand: the device follows
// the monitored channel's format, the segment headers point into the capture
// blocks, and playback is the lead-in followed by the segments in order.

#include "audio/monitor_output.h"

#include <gtest/gtest.h>

#include <cstring>

#include "audio/capture.h"
#include "audio/sim/sim_service.h"
#include "audio_test_support.h"

namespace varn {
namespace {

constexpr int kRampInput = 4;
constexpr int kBlockFrames = 2304;  // at 8000 Hz: B = 10, segments of 384 frames
constexpr int kSeg = kBlockFrames / 6;
constexpr int kLeadInFrames = 2400;  // 300 ms at 8000 Hz

class LookRecorder final : public MonitorButtonLook {
 public:
  void SetMonitorLook(int ch, bool monitoring) override { calls.emplace_back(ch, monitoring); }
  std::vector<std::pair<int, bool>> calls;
};

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int ch = 0; ch < 3; ++ch) {
      cap[ch].SampleRate = 8000;
      cap[ch].DeviceId = kRampInput;
    }
    cap[2].FormatCode = 2;  // mono
    for (int ch = 0; ch < 3; ++ch) ASSERT_TRUE(StartCapture(ch, cap[ch], arc[ch], sim, nullptr));
  }
  void Select(int ch, bool forceOff = false) {
    SelectMonitorChannel(mon, ch, forceOff, cap[ch], arc[ch], sim, &look);
  }
  // Plays `frames` frames and returns the left samples played (stereo).
  std::vector<int16_t> PlayLeft(size_t frames) {
    sim.Consume(frames);
    const std::vector<uint8_t> bytes = sim.TakePlayed();
    std::vector<int16_t> left(bytes.size() / 4);
    for (size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], &bytes[4 * i], 2);
    return left;
  }

  test::LogCapture log;
  test::NoticeRecorder notices;
  SimWaveService sim{SimPace::Manual};
  CaptureChannel cap[3];
  ArchiveChannel arc[3];
  MonitorOutput mon;
  LookRecorder look;
};

TEST_F(MonitorTest, SelectingACapturingChannelOpensTheOutputInItsFormat) {
  Select(0);
  EXPECT_EQ(mon.MonitorChannel, 0);
  ASSERT_NE(mon.OutDevice, nullptr);
  EXPECT_EQ(mon.OutFormat.samplesPerSec, 8000u);
  EXPECT_EQ(mon.OutFormat.channels, 2);
  EXPECT_EQ(mon.HeaderCount, 60);
  EXPECT_EQ(mon.LastWritten, -1);
  EXPECT_EQ(mon.DelayBytes, kLeadInFrames * 4);
  EXPECT_EQ(look.calls, (std::vector<std::pair<int, bool>>{{0, true}}));
}

TEST_F(MonitorTest, SegmentHeadersPointIntoTheCaptureBlocks) {
  Select(0);
  for (int i = 0; i < cap[0].BufferCount; ++i) {
    for (int k = 0; k < 6; ++k) {
      const WaveHeader& h = mon.Headers[i * 6 + k];
      EXPECT_EQ(h.data, reinterpret_cast<uint8_t*>(cap[0].Block(i) + 2 * k * kSeg));
      EXPECT_EQ(h.bufferLength, 4u * kSeg);
    }
  }
}

TEST_F(MonitorTest, PlaybackIsTheLeadInThenTheSegmentsAsTheAnalysisReachesThem) {
  Select(0);
  sim.Produce(kRampInput, kBlockFrames);
  MonitorWrite(mon, 0, 0, 0);
  EXPECT_EQ(mon.LastWritten, 0);
  EXPECT_EQ(mon.Queued[0], 1);
  const std::vector<int16_t> played = PlayLeft(kLeadInFrames + kSeg + 50);
  ASSERT_EQ(played.size(), static_cast<size_t>(kLeadInFrames + kSeg));  // nothing more written
  for (int f = 0; f < kLeadInFrames; ++f) ASSERT_EQ(played[f], 0);
  for (int f = 0; f < kSeg; ++f) ASSERT_EQ(played[kLeadInFrames + f], f);
  for (int i = 0; i < mon.LeadInCount; ++i) EXPECT_TRUE(mon.LeadIn[i].Done()) << i;
  EXPECT_TRUE(mon.Headers[0].Done());

  // A late tick: every segment up to the newest goes out, in ring order,
  // and played headers are no longer counted as queued.
  sim.Produce(kRampInput, kBlockFrames);
  MonitorWrite(mon, 1, 2, 8);
  EXPECT_EQ(mon.LastWritten, 8);
  EXPECT_EQ(mon.Queued[0], 0);
  for (int g = 1; g <= 8; ++g) EXPECT_EQ(mon.Queued[g], 1) << g;
  EXPECT_EQ(mon.Queued[9], 0);
  const std::vector<int16_t> more = PlayLeft(8 * kSeg);
  ASSERT_EQ(more.size(), static_cast<size_t>(8 * kSeg));
  for (int f = 0; f < 8 * kSeg; ++f) ASSERT_EQ(more[f], kSeg + f);
}

TEST_F(MonitorTest, WritingWrapsRoundTheRing) {
  Select(0);
  MonitorWrite(mon, 9, 4, 58);
  MonitorWrite(mon, 0, 1, 61);  // 59, 0, 1
  EXPECT_EQ(mon.LastWritten, 1);
  EXPECT_EQ(mon.Queued[59], 1);
  EXPECT_EQ(mon.Queued[0], 1);
  EXPECT_EQ(mon.Queued[1], 1);
  EXPECT_EQ(mon.Queued[2], 0);
  sim.Consume(kLeadInFrames + 4 * kSeg);
  EXPECT_EQ(sim.TakePlayed().size(), static_cast<size_t>(4 * (kLeadInFrames + 4 * kSeg)));
}

TEST_F(MonitorTest, NoSegmentIsPlayedTwiceAndAGapBeyondTheRingResumesAtTheNewest) {
  Select(0);
  MonitorWrite(mon, 0, 0, 0);
  MonitorWrite(mon, 0, 0, 0);   // the same segment again: nothing more
  MonitorWrite(mon, 9, 5, -1);  // an older one: nothing either
  EXPECT_EQ(mon.LastWritten, 0);
  sim.Consume(kLeadInFrames + 100 * kSeg);
  EXPECT_EQ(sim.TakePlayed().size(), static_cast<size_t>(4 * (kLeadInFrames + kSeg)));

  // 54 segments on (the ring of 60 minus the block being filled): all go out.
  MonitorWrite(mon, 9, 0, 54);
  sim.Consume(100 * kSeg);
  EXPECT_EQ(sim.TakePlayed().size(), static_cast<size_t>(4 * 54 * kSeg));
  // 55 on: the oldest of them were overwritten; only the newest plays.
  MonitorWrite(mon, 0, 1, 121);
  EXPECT_EQ(mon.LastWritten, 1);
  sim.Consume(100 * kSeg);
  EXPECT_EQ(sim.TakePlayed().size(), static_cast<size_t>(4 * kSeg));
}

TEST_F(MonitorTest, SelectingTheMonitoredChannelAgainStopsButKeepsTheDevice) {
  Select(0);
  MonitorWrite(mon, 0, 0, 0);
  Select(0);
  EXPECT_EQ(mon.MonitorChannel, -1);
  EXPECT_NE(mon.OutDevice, nullptr);
  EXPECT_EQ(mon.LastWritten, -1);
  EXPECT_EQ(look.calls.back(), std::make_pair(0, false));
  sim.Consume(kLeadInFrames + kSeg);
  EXPECT_TRUE(sim.TakePlayed().empty());  // nothing left queued
  MonitorWrite(mon, 0, 1, 1);             // the analysis no longer feeds it
  sim.Consume(kSeg);
  EXPECT_TRUE(sim.TakePlayed().empty());

  // Another channel of the same format reuses the device, with a fresh lead-in.
  Select(1);
  EXPECT_EQ(mon.MonitorChannel, 1);
  EXPECT_EQ(sim.OutputOpenCount(), 1);
  EXPECT_EQ(mon.Headers[0].data, reinterpret_cast<uint8_t*>(cap[1].Block(0)));
  sim.Consume(kLeadInFrames);
  EXPECT_EQ(sim.TakePlayed().size(), static_cast<size_t>(4 * kLeadInFrames));
}

TEST_F(MonitorTest, AChannelOfAnotherFormatReopensTheDevice) {
  Select(0);
  Select(2);  // mono at the same rate
  EXPECT_EQ(sim.OutputOpenCount(), 2);
  EXPECT_EQ(mon.MonitorChannel, 2);
  EXPECT_EQ(mon.OutFormat.channels, 1);
  EXPECT_EQ(mon.DelayBytes, kLeadInFrames * 2);
  EXPECT_EQ(mon.Headers[6].bufferLength, 2u * kSeg);
  EXPECT_EQ(look.calls, (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {2, true}}));
  Select(1);  // stereo again
  EXPECT_EQ(sim.OutputOpenCount(), 3);
}

TEST_F(MonitorTest, StoppingTheMonitoredChannelStopsTheMonitor) {
  Select(0);
  MonitorWrite(mon, 0, 0, 0);
  StopCapture(0, cap[0], arc[0], nullptr);
  Select(0, true);
  EXPECT_EQ(mon.MonitorChannel, -1);
  sim.Consume(kLeadInFrames + kSeg);
  EXPECT_TRUE(sim.TakePlayed().empty());
  // A stopped channel cannot be monitored.
  Select(0);
  EXPECT_EQ(mon.MonitorChannel, -1);
  EXPECT_EQ(look.calls.back(), std::make_pair(0, false));
}

TEST_F(MonitorTest, WithoutALeadInPlaybackStartsWithTheFirstSegment) {
  mon.BufferDelayMs = 0;
  Select(0);
  EXPECT_EQ(mon.DelayBytes, 0);
  sim.Produce(kRampInput, kSeg);
  MonitorWrite(mon, 0, 0, 0);
  const std::vector<int16_t> played = PlayLeft(kSeg);
  ASSERT_EQ(played.size(), static_cast<size_t>(kSeg));
  EXPECT_EQ(played[0], 0);
  EXPECT_EQ(played[kSeg - 1], kSeg - 1);
}

TEST_F(MonitorTest, AnOutputThatWillNotOpenIsShownAndNothingPlays) {
  mon.MonDeviceId = 5;
  Select(0);
  EXPECT_EQ(mon.MonitorChannel, 0);
  EXPECT_EQ(mon.OutDevice, nullptr);
  ASSERT_EQ(notices.texts.size(), 1u);
  EXPECT_NE(notices.texts[0].find("output device number 5"), std::string::npos);
  MonitorWrite(mon, 0, 0, 0);
  EXPECT_EQ(mon.LastWritten, -1);
}

TEST_F(MonitorTest, ClosingReleasesTheDeviceAndTheNextStartOpensAgain) {
  Select(0);
  StopMonitor(mon, true);
  EXPECT_EQ(mon.OutDevice, nullptr);
  StopMonitor(mon, true);  // nothing open: nothing to do
  mon.MonitorChannel = 0;
  StartMonitor(mon, cap[0], sim);
  EXPECT_EQ(sim.OutputOpenCount(), 2);
  EXPECT_NE(mon.OutDevice, nullptr);
}

// An output that stops taking audio after its lead-in (`delayMs`): the
// ring of 60 segments lets 55 wait, the oldest part played and the rest
// beside the block capture refills; the 56th makes it skip ahead to the
// lead-in's delay before the newest, at most 53 segments back.
struct StallCase {
  int delayMs;
  int resumesAt;  // the first segment played after the skip
};
void PrintTo(const StallCase& c, std::ostream* os) { *os << "BufferDelay " << c.delayMs << " ms"; }

class MonitorStallTest : public MonitorTest, public ::testing::WithParamInterface<StallCase> {};

TEST_P(MonitorStallTest, AnOutputTooFarBehindSkipsAheadAndNotesIt) {
  mon.BufferDelayMs = GetParam().delayMs;
  Select(0);
  sim.Consume(static_cast<size_t>(mon.LeadInUsed / 4));
  sim.TakePlayed();
  sim.Produce(kRampInput, 57 * kSeg);
  for (int p = 0; p < 55; ++p) MonitorWrite(mon, p / 6, p % 6, p);
  EXPECT_EQ(mon.Skips, 0u);
  MonitorWrite(mon, 9, 1, 55);
  EXPECT_EQ(mon.Skips, 1u);
  EXPECT_EQ(mon.LastWritten, 55);
  const std::vector<int16_t> played = PlayLeft(100 * kSeg);
  const int first = GetParam().resumesAt;
  ASSERT_EQ(played.size(), static_cast<size_t>((56 - first) * kSeg));
  for (int f = 0; f < static_cast<int>(played.size()); ++f) ASSERT_EQ(played[f], first * kSeg + f);
  const int behindMs = 56 * 48;
  EXPECT_EQ(log.CountDiagnostics("Monitor skipped ch1: playback fell " + std::to_string(behindMs) +
                                 " ms behind capture, more than the capture ring allows; it goes "
                                 "on " +
                                 std::to_string((56 - first) * 48) + " ms behind"),
            1)
      << log.Diagnostics();
  // The next segment follows on without another skip.
  MonitorWrite(mon, 9, 2, 56);
  EXPECT_EQ(mon.Skips, 1u);
  EXPECT_EQ(PlayLeft(kSeg).front(), 56 * kSeg);
}

INSTANTIATE_TEST_SUITE_P(LeadIns, MonitorStallTest,
                         ::testing::Values(StallCase{300, 49},    // 6.25 segments: 6 back
                                           StallCase{0, 55},      // no lead-in: the newest alone
                                           StallCase{3000, 2}));  // more than the ring allows

TEST_F(MonitorTest, LeadInStillQueuedCountsAsLag) {
  Select(0);  // nothing plays, not even the lead-in's 6 segments
  sim.Produce(kRampInput, 51 * kSeg);
  for (int p = 0; p < 49; ++p) MonitorWrite(mon, p / 6, p % 6, p);
  EXPECT_EQ(mon.Skips, 0u);
  MonitorWrite(mon, 8, 1, 49);  // the lead-in's 6 pieces and 50 segments
  EXPECT_EQ(mon.Skips, 1u);
  // The silence is dropped; the delay it set is kept.
  const std::vector<int16_t> played = PlayLeft(100 * kSeg);
  ASSERT_EQ(played.size(), static_cast<size_t>(7 * kSeg));
  for (int f = 0; f < static_cast<int>(played.size()); ++f) ASSERT_EQ(played[f], 43 * kSeg + f);
}

TEST(LeadIn, IsAWholeNumberOfFrames) {
  EXPECT_EQ(LeadInBytes(300, 44100, 4), 52920);
  EXPECT_EQ(LeadInBytes(333, 44100, 4), 58740);  // 14685.3 frames: 14685
  EXPECT_EQ(LeadInBytes(333, 44100, 2), 29370);
  EXPECT_EQ(LeadInBytes(0, 44100, 4), 0);
  EXPECT_EQ(LeadInBytes(-50, 44100, 4), 0);
  EXPECT_EQ(LeadInBytes(2000000000, 48000, 4), 48000 * 10 * 4);  // capped at 10 s
}

}  // namespace
}  // namespace varn
