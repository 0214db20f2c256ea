// Where a run's audio belongs in time: holes become silence of their
// length, delivery jitter and a device whose clock runs fast do not.

#include "archive/archive_timeline.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

constexpr uint64_t kBlock = 4800;  // 0.1 s at 48 kHz

TEST(ArchiveTimeline, AHoleBecomesSilenceOfItsLengthAndJitterDoesNot) {
  ArchiveTimeline t;
  t.Start(48000);
  double end = 10.0;
  EXPECT_EQ(t.BeforeBlock(kBlock, end), 0u);  // the first block anchors the run
  for (int i = 0; i < 50; ++i) {
    // Delivered up to 50 ms early or late, as a sound server does.
    end += 0.1;
    EXPECT_EQ(t.BeforeBlock(kBlock, end + ((i % 3) - 1) * 0.05), 0u) << i;
  }
  end += 2.5;  // nothing came for 2.4 s beyond the next block
  EXPECT_EQ(t.BeforeBlock(kBlock, end), 2u * 48000 + 19200);
  end += 0.1;
  EXPECT_EQ(t.BeforeBlock(kBlock, end), 0u);
  EXPECT_EQ(t.SilencePlaced(), 2u * 48000 + 19200);
  EXPECT_EQ(t.Placed(), 53 * kBlock + 2 * 48000 + 19200);
}

TEST(ArchiveTimeline, AFastDeviceIsFollowedSoALaterHoleIsStillMeasuredRight) {
  ArchiveTimeline t;
  t.Start(48000);
  double end = 0.0;
  t.BeforeBlock(kBlock, end);
  // A device 1 % fast for ten minutes: 6 s more audio than time.
  for (int i = 0; i < 6000; ++i) {
    end += 0.1 / 1.01;
    ASSERT_EQ(t.BeforeBlock(kBlock, end), 0u) << i;
  }
  end += 1.0 / 1.01 + 0.1;  // then a one-second hole
  const uint64_t silence = t.BeforeBlock(kBlock, end);
  EXPECT_NEAR(static_cast<double>(silence), 48000.0, 0.1 * 48000);
}

TEST(ArchiveTimeline, CatchingUpFillsAStallUpToNowAndLeavesWhatIsInFlight) {
  ArchiveTimeline t;
  t.Start(48000);
  EXPECT_EQ(t.CatchUp(5.0, 0), 0u);  // nothing anchored yet
  t.BeforeBlock(kBlock, 1.0);
  // At 4.0 s, 0.05 s is in the buffer being filled: 2.95 s never came.
  EXPECT_EQ(t.CatchUp(4.0, 2400), 141600u);
  EXPECT_EQ(t.CatchUp(4.0, 2400), 0u);
  // The block that then completes is on time.
  EXPECT_EQ(t.BeforeBlock(kBlock, 4.05), 0u);
}

}  // namespace
}  // namespace varn
