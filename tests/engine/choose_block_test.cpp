// Choosing the block the analysis takes from a channel's capture ring.

#include <gtest/gtest.h>

#include "analysis/analysis_test_support.h"
#include "engine/analysis_pass.h"

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
  poll(1, 1);              // across the buffer boundary
  poll(1, 2 * seg() + 1);  // segment 0 skipped
  capture.LostFrames = 300;
  poll(1, 3 * seg() + 1);  // frames lost since the last block
  poll(1, 4 * seg() + 1);
  poll(4, 4 * seg() + 1);  // whole buffers skipped, back in the same segment
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

}  // namespace
}  // namespace varn
