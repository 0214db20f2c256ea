// What the operator hears: a ramp captured by a channel and played through
// the monitor arrives frame for frame, at rates whose buffers leave frames
// after the sixth segment and at one that leaves none, and a lead-in longer
// than the ring allows is cut so no block plays after capture rewrote it.

#include <gtest/gtest.h>

#include <cstring>

#include "archive/file_access.h"
#include "engine/engine_fixture.h"

namespace varn::test {
namespace {

struct Line {
  int rate;
  int bitRate;  // 0: WAV buffers (S = 0.288 s), else MP3 buffers of 13824 frames
  int channels;
  int delayMs;
};

class MonitorPlaythroughTest : public EngineFixture {
 protected:
  void BuildLine(const Line& line, int channelCount = 1) {
    line_ = line;
    std::string ini = "NumRec=" + std::to_string(channelCount) +
                      "\nBufferDelay=" + std::to_string(line.delayMs) + "\n";
    for (int n = 1; n <= channelCount; ++n) {
      const std::string k = std::to_string(n);
      ini += "DeviceName_" + k + "=Sim Ramp\nRecFreq_" + k + "=" + std::to_string(line.rate) +
             "\nBitRate_" + k + "=" + std::to_string(line.bitRate) + "\nRecMode_" + k + "=" +
             (line.channels == 2 ? "3" : "2") + "\nArcOn_" + k + "=0\n";
    }
    Build(ini);
    engine->BeginRunning(true);
  }
  // Real-time in small steps: capture and playback move on together.
  void Play(double seconds) {
    const size_t step = static_cast<size_t>(line_.rate / 100);
    for (int i = 0; i < static_cast<int>(seconds * 100 + 0.5); ++i) {
      Feed(kRampDevice, step);
      TickAfter(0.01);
      sim.Consume(step);
    }
  }
  // The left samples played since the last call.
  std::vector<int16_t> Played() {
    const std::vector<uint8_t> bytes = sim.TakePlayed();
    const size_t frameBytes = 2 * static_cast<size_t>(line_.channels);
    std::vector<int16_t> left(bytes.size() / frameBytes);
    for (size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], &bytes[i * frameBytes], 2);
    return left;
  }
  // Checks `played` is `leadIn` frames of silence, then a ramp without a
  // break (each frame one more than the last, as 16-bit numbers) from
  // `first` (when given); returns the frames of ramp. A block rewritten by
  // capture before it played shows as a ramp that starts a ring too late.
  static size_t CheckLeadInThenRamp(const std::vector<int16_t>& played, size_t leadIn,
                                    int first = -1) {
    EXPECT_GT(played.size(), leadIn);
    if (played.size() <= leadIn) return 0;
    if (first >= 0) {
      EXPECT_EQ(played[leadIn], first) << "the ramp starts elsewhere";
    }
    for (size_t i = 0; i < leadIn; ++i)
      if (played[i] != 0) {
        ADD_FAILURE() << "lead-in frame " << i << " is " << played[i];
        return 0;
      }
    for (size_t i = leadIn + 1; i < played.size(); ++i)
      if (static_cast<uint16_t>(played[i] - played[i - 1]) != 1) {
        ADD_FAILURE() << "break after frame " << i - leadIn << " of the ramp: " << played[i - 1]
                      << " then " << played[i];
        return 0;
      }
    return played.size() - leadIn;
  }
  // Like CheckLeadInThenRamp, but the ramp may jump ahead (by less than
  // `ring` frames: a block rewritten before it played shows as a jump of a
  // ring or more, or back); returns the jumps.
  static uint64_t RampJumps(const std::vector<int16_t>& played, size_t leadIn, int ring) {
    EXPECT_GT(played.size(), leadIn);
    if (played.size() <= leadIn) return 0;
    EXPECT_EQ(played[leadIn], 0) << "the ramp starts elsewhere";
    for (size_t i = 0; i < leadIn; ++i)
      if (played[i] != 0) ADD_FAILURE() << "lead-in frame " << i << " is " << played[i];
    uint64_t jumps = 0;
    for (size_t i = leadIn + 1; i < played.size(); ++i) {
      const int step = static_cast<uint16_t>(played[i] - played[i - 1]);
      if (step == 1) continue;
      ++jumps;
      if (step == 0 || step >= ring)
        ADD_FAILURE() << "break after frame " << i - leadIn << " of the ramp: " << played[i - 1]
                      << " then " << played[i];
    }
    return jumps;
  }
  // The diagnostics lines that contain `text`.
  uint64_t Notes(const std::string& text) const {
    const std::string diagnostics = Diagnostics();
    uint64_t notes = 0;
    for (size_t at = diagnostics.find(text); at != std::string::npos;
         at = diagnostics.find(text, at + 1))
      ++notes;
    return notes;
  }
  size_t LeadInFrames() const { return engine->Monitor().LeadInUsed / (2 * line_.channels); }

  Line line_{};
};

TEST_F(MonitorPlaythroughTest, EveryCapturedFrameIsPlayedInOrderOnce) {
  // 44100, 11025 and 88200 Hz WAV buffers leave 4, 4 and 2 frames after the
  // sixth segment; 48000 Hz MP3 buffers (13824 frames) leave none.
  for (const Line line : {Line{44100, 0, 2, 300}, Line{11025, 0, 1, 300}, Line{88200, 0, 2, 300},
                          Line{48000, 160, 2, 300}}) {
    SCOPED_TRACE(testing::Message() << line.rate << " Hz, bit rate " << line.bitRate);
    BuildLine(line);
    engine->SelectMonitorChannel(0);
    Play(3.0);
    const size_t frames = CheckLeadInThenRamp(Played(), LeadInFrames(), 0);
    // Everything but the newest segments and the lead-in's worth has played.
    EXPECT_GT(frames, static_cast<size_t>(line.rate * 2));
    engine.reset();
    sim.TakePlayed();
  }
}

TEST_F(MonitorPlaythroughTest, SwitchingOrStoppingNeverRepeatsOrReordersAFrame) {
  BuildLine(Line{44100, 0, 2, 300}, 2);
  engine->SelectMonitorChannel(0);
  Play(1.5);
  CheckLeadInThenRamp(Played(), LeadInFrames(), 0);
  engine->SelectMonitorChannel(1);  // the other channel, from where it is now
  Play(1.5);
  CheckLeadInThenRamp(Played(), LeadInFrames());
  engine->SelectMonitorChannel(1);  // monitor off: nothing more plays
  Play(0.5);
  EXPECT_TRUE(Played().empty());
  engine->SelectMonitorChannel(1);
  Play(1.0);
  engine->StopChannel(1);
  CheckLeadInThenRamp(Played(), LeadInFrames());
  Play(0.5);
  EXPECT_TRUE(Played().empty());
}

TEST_F(MonitorPlaythroughTest, ALeadInLongerThanTheRingIsCutSoNoRewrittenBlockPlays) {
  // The ring minus the block being filled: 9 blocks of 2304 frames at
  // 8000 Hz (2592 ms), 9 of 12700 at 44100 Hz (2591.8 ms), both longer than
  // the 2000 ms BufferDelay may be (a hand-edited 3000 is read as 2000); at
  // 8000 Hz with MP3 buffers only 1 block of 13824 frames (1728 ms), less
  // than 2000 ms: uncut, the ramp would break where a block had been
  // rewritten before it played.
  struct Case {
    Line line;
    size_t leadIn;  // frames played before the ramp
    bool noted;
  };
  for (const Case c :
       {Case{{8000, 0, 2, 2000}, 16000, false}, Case{{8000, 0, 2, 3000}, 16000, false},
        Case{{44100, 0, 2, 2000}, 88200, false}, Case{{8000, 160, 1, 1700}, 13600, false},
        Case{{8000, 160, 1, 2000}, 13824, true}}) {
    SCOPED_TRACE(testing::Message() << c.line.rate << " Hz, " << c.line.delayMs << " ms");
    BuildLine(c.line);
    engine->SelectMonitorChannel(0);
    EXPECT_EQ(LeadInFrames(), c.leadIn);
    Play(6.0);
    CheckLeadInThenRamp(Played(), c.leadIn, 0);
    // Noted once, however often the monitor starts.
    engine->SelectMonitorChannel(0);
    engine->SelectMonitorChannel(0);
    EXPECT_EQ(Notes("Monitor delay clamped ch1"), c.noted ? 1u : 0u) << Diagnostics();
    engine.reset();
    DeleteFileIfExists(log.CurrentFilePath(true));
    sim.TakePlayed();
  }
}

TEST_F(MonitorPlaythroughTest, AnOutputOnAnotherClockPlaysTheRampWithNotedSkipsOnly) {
  // Three per cent slow, the output falls behind by 240 frames a second:
  // from the 2000 ms lead-in past the ring minus a block (2592 ms) within
  // 20 s, and again after each skip back to the lead-in's delay. Half a
  // per cent fast, it runs dry now and then and waits: nothing plays twice
  // and nothing is skipped.
  struct Case {
    double rate;
    double seconds;
  };
  for (const Case c : {Case{0.97, 50.0}, Case{1.005, 10.0}}) {
    SCOPED_TRACE(testing::Message() << "output at " << c.rate);
    sim.SetOutputRate(c.rate);
    BuildLine(Line{8000, 0, 2, 2000});
    engine->SelectMonitorChannel(0);
    Play(c.seconds);
    const uint64_t skips = engine->Monitor().Skips;
    EXPECT_EQ(RampJumps(Played(), LeadInFrames(), 10 * 2304), skips);
    EXPECT_EQ(Notes("Monitor skipped ch1: "), skips) << Diagnostics();
    if (c.rate < 1.0)
      EXPECT_GE(skips, 2u);
    else
      EXPECT_EQ(skips, 0u);
    engine.reset();
    DeleteFileIfExists(log.CurrentFilePath(true));
    sim.TakePlayed();
  }
}

}  // namespace
}  // namespace varn::test
