#include "analysis/block_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis_test_support.h"

namespace varn {
namespace {

using test::SetFramesWritten;

class ChooseBlockTest : public ::testing::Test {
 protected:
  void SetUp() override { test::SetUpCapture(capture, 44100, 2, 12700, 10); }
  int32_t seg() const { return capture.Segments.segmentLength; }  // 2116
  CaptureChannel capture;
};

TEST_F(ChooseBlockTest, FirstTickOnlyRecordsTheSegmentThenEachNewSegmentGivesThePreviousOne) {
  SetFramesWritten(capture, 100);
  EXPECT_FALSE(ChooseBlock(capture));
  EXPECT_EQ(capture.Segments.lastSegmentSeen, 0);
  SetFramesWritten(capture, seg());  // last frame written is still in segment 0
  EXPECT_FALSE(ChooseBlock(capture));
  SetFramesWritten(capture, seg() + 1);
  const auto b = ChooseBlock(capture);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->bufferIndex, 0);
  EXPECT_EQ(b->segment, 0);
  EXPECT_FALSE(ChooseBlock(capture));  // same segment: nothing new
}

TEST_F(ChooseBlockTest, AfterAStallOnlyTheSegmentJustBeforeTheCurrentOneIsTaken) {
  SetFramesWritten(capture, 10);
  ChooseBlock(capture);
  SetFramesWritten(capture, 4 * seg() + 5);  // segments 0..3 completed since
  const auto b = ChooseBlock(capture);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->segment, 3);
  EXPECT_EQ(capture.Segments.lastSegmentSeen, 4);
}

TEST_F(ChooseBlockTest, SegmentZeroTakesTheLastSegmentOfThePreviousBufferWrappingTheRing) {
  SetFramesWritten(capture, 5 * seg() + 1);
  ChooseBlock(capture);
  capture.NextBuffer = 1;
  SetFramesWritten(capture, 3);
  auto b = ChooseBlock(capture);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->bufferIndex, 0);
  EXPECT_EQ(b->segment, 5);

  capture.NextBuffer = 9;
  SetFramesWritten(capture, 5 * seg());
  ChooseBlock(capture);
  capture.NextBuffer = 0;
  SetFramesWritten(capture, 1);
  b = ChooseBlock(capture);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->bufferIndex, 9);
  EXPECT_EQ(b->segment, 5);
}

// An empty buffer counts as segment 0 and the frames after segment 5 as
// segment 5, so crossing a buffer boundary yields every segment once.
TEST_F(ChooseBlockTest, EmptyBufferAndTailFramesKeepTheSequenceIntact) {
  std::vector<std::pair<int, int>> seen;
  auto poll = [&] {
    if (auto b = ChooseBlock(capture)) seen.emplace_back(b->bufferIndex, b->segment);
  };
  SetFramesWritten(capture, 4 * seg() + 1);
  poll();
  SetFramesWritten(capture, 12698);  // last frame 12697: past segment 5 (ends at 12695)
  poll();
  capture.NextBuffer = 1;
  SetFramesWritten(capture, 0);  // the next buffer holds nothing yet
  poll();
  SetFramesWritten(capture, 10);
  poll();
  SetFramesWritten(capture, seg() + 10);
  poll();
  const std::vector<std::pair<int, int>> expected{{0, 4}, {0, 5}, {1, 0}};
  EXPECT_EQ(seen, expected);
}

TEST_F(ChooseBlockTest, ABlockFollowsThePreviousOneOnlyWithNothingSkippedOrLost) {
  std::vector<std::tuple<int64_t, bool>> seen;
  auto poll = [&](int32_t buffers, int64_t framesWritten) {
    capture.BuffersCompleted = buffers;
    capture.NextBuffer = buffers % capture.BufferCount;
    SetFramesWritten(capture, framesWritten);
    if (auto b = ChooseBlock(capture)) seen.emplace_back(b->position, b->followsPrevious);
  };
  poll(0, 10);
  poll(0, 4 * seg() + 1);  // the first block of the run: segment 3
  poll(0, 5 * seg() + 1);
  poll(1, 1);               // across the buffer boundary
  poll(1, 2 * seg() + 1);   // segment 0 skipped
  capture.LostFrames = 300;
  poll(1, 3 * seg() + 1);   // frames lost since the last block
  poll(1, 4 * seg() + 1);
  poll(4, 4 * seg() + 1);   // whole buffers skipped, back in the same segment
  poll(4, 5 * seg() + 1);
  const std::vector<std::tuple<int64_t, bool>> expected{
      {3, true}, {4, true}, {5, true}, {7, false}, {8, false}, {9, true}, {28, false}};
  EXPECT_EQ(seen, expected);

  test::SetUpCapture(capture, 44100, 2, 12700, 10);  // a new run
  seen.clear();
  poll(0, 10);
  poll(0, 3 * seg() + 1);
  EXPECT_EQ(seen, (std::vector<std::tuple<int64_t, bool>>{{2, true}}));
}

TEST_F(ChooseBlockTest, SegmentZeroJoinsSegmentFiveOnlyWhenNoFramesLieBetween) {
  for (const int32_t s : {12700, 13824}) {  // 4 frames after segment 5, and none
    test::SetUpCapture(capture, 44100, 2, s, 10);
    std::vector<bool> follows;
    auto poll = [&](int32_t buffers, int64_t framesWritten) {
      capture.BuffersCompleted = buffers;
      capture.NextBuffer = buffers;
      SetFramesWritten(capture, framesWritten);
      if (auto b = ChooseBlock(capture)) follows.push_back(b->followsPrevious);
    };
    poll(0, 4 * seg() + 1);
    poll(0, 5 * seg() + 1);
    poll(1, 1);
    poll(1, seg() + 1);
    EXPECT_EQ(follows, (std::vector<bool>{true, true, s == 13824})) << "S = " << s;
  }
}

TEST(CurrentSegment, MapsFramesToSegmentsWithTheEdgesClamped) {
  const SegmentTable t = SegmentTable::Build(12700);
  EXPECT_EQ(CurrentSegment(t, -1), 0);
  EXPECT_EQ(CurrentSegment(t, 0), 0);
  EXPECT_EQ(CurrentSegment(t, 2115), 0);
  EXPECT_EQ(CurrentSegment(t, 2116), 1);
  EXPECT_EQ(CurrentSegment(t, 12695), 5);
  EXPECT_EQ(CurrentSegment(t, 12699), 5);
  EXPECT_EQ(CurrentSegment(t, 1 << 30), 5);
}

TEST(ChooseBlock, ARingThatIsNotSetUpGivesNothing) {
  CaptureChannel empty;
  EXPECT_FALSE(ChooseBlock(empty));
  CaptureChannel c;
  test::SetUpCapture(c, 48000, 2, 13824, 10);
  c.NextBuffer = 10;  // out of range
  EXPECT_FALSE(ChooseBlock(c));
}

std::vector<Frame> Convert(const std::vector<int16_t>& interleaved, int channels, float gainDb,
                           StereoMode mode) {
  const int32_t count = static_cast<int32_t>(interleaved.size()) / channels;
  std::vector<Frame> out(count, Frame{111, 111});
  ConvertBlock(interleaved.data(), channels, count, AnalysisGain(gainDb), mode, out.data());
  return out;
}

std::vector<std::pair<int, int>> Pairs(const std::vector<Frame>& f) {
  std::vector<std::pair<int, int>> p;
  for (const Frame& x : f) p.emplace_back(x.L, x.R);
  return p;
}

using P = std::vector<std::pair<int, int>>;

TEST(ConvertBlock, GainRoundsToNearestAndSaturates) {
  // 10^(6/20) = 1.99526...: 1000 -> 1995.26, 16422 -> 32766.2, 16423 -> 32768.2
  EXPECT_EQ(Pairs(Convert({1000, -1000, 16422, -16422, 16423, -20000}, 2, 6.0f, StereoMode::Stereo)),
            (P{{1995, -1995}, {32766, -32766}, {32767, -32767}}));
  // At -110 dB or below the analysis sees silence.
  EXPECT_EQ(Pairs(Convert({30000, -30000}, 2, -110.0f, StereoMode::Stereo)), (P{{0, 0}}));
  // An absurd gain saturates every non-zero sample and leaves zeros alone.
  EXPECT_EQ(Pairs(Convert({1, 0, -1, 0}, 2, 1e30f, StereoMode::Stereo)), (P{{32767, 0}, {-32767, 0}}));
}

TEST(ConvertBlock, MonoMixRoundsHalvesToEven) {
  // (L + R) / 2: 1.5 -> 2, 0.5 -> 0, 2.5 -> 2, -1.5 -> -2, -0.5 -> 0
  EXPECT_EQ(Pairs(Convert({1, 2, 1, 0, 5, 0, -3, 0, -1, 0, 32767, 32767}, 2, 0.0f, StereoMode::MonoMix)),
            (P{{2, 2}, {0, 0}, {2, 2}, {-2, -2}, {0, 0}, {32767, 32767}}));
}

// Every mode and gain against the formula written out plainly: nearest
// integer with halves to even, then saturation to +-32767.
TEST(ConvertBlock, AgreesWithThePlainFormulaForEveryModeAndGain) {
  std::mt19937 gen(5);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<int16_t> in(2 * 4000);
  for (int16_t& v : in) v = static_cast<int16_t>(sample(gen));
  in[0] = -32768;
  in[1] = -32768;
  in[2] = 3;  // odd sums with both parities of their halves
  in[3] = 2;
  in[4] = 5;
  in[5] = 2;
  auto plain = [](double v) {
    const double r = std::nearbyint(v);
    return static_cast<int16_t>(r >= 32767 ? 32767 : (r <= -32767 ? -32767 : r));
  };
  for (float db : {0.0f, -6.0206f, 0.01f, 3.5f, -40.0f, 20.0f}) {
    const double g = AnalysisGain(db);
    for (StereoMode m : {StereoMode::Stereo, StereoMode::MonoMix, StereoMode::MonoLeft, StereoMode::MonoRight}) {
      const auto out = Convert(in, 2, db, m);
      for (size_t i = 0; i < out.size(); ++i) {
        const int16_t l = plain(in[2 * i] * g), r = plain(in[2 * i + 1] * g);
        const int16_t mix = plain((double(in[2 * i]) + in[2 * i + 1]) * g / 2);
        const Frame want = m == StereoMode::Stereo    ? Frame{l, r}
                           : m == StereoMode::MonoMix ? Frame{mix, mix}
                           : m == StereoMode::MonoLeft ? Frame{l, 0}
                                                       : Frame{0, r};
        ASSERT_EQ(out[i].L, want.L) << db << " dB, mode " << int(m) << ", frame " << i;
        ASSERT_EQ(out[i].R, want.R) << db << " dB, mode " << int(m) << ", frame " << i;
      }
    }
    const auto mono = Convert(std::vector<int16_t>(in.begin(), in.begin() + 999), 1, db, StereoMode::Stereo);
    for (size_t i = 0; i < mono.size(); ++i) ASSERT_EQ(mono[i].L, plain(in[i] * g)) << db << " dB mono " << i;
  }
}

}  // namespace
}  // namespace varn
