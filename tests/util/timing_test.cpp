#include "util/timing.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

TEST(ElapsedSec, RunsAcrossMidnightAndIgnoresJitter) {
  ManualClock clock(DateTime{2026, 12, 7, 0, 0, 3, 0}, 0);
  EXPECT_FLOAT_EQ(ElapsedSec(86400.0f - 5.0f, clock), 8.0f);
  // A start half a second in the future is clock jitter, not a day.
  EXPECT_FLOAT_EQ(ElapsedSec(3.5f, clock), 0.0f);
  clock.Set(DateTime{2026, 12, 7, 10, 0, 0, 0});
  EXPECT_FLOAT_EQ(ElapsedSec(36000.0f - 12.5f, clock), 12.5f);
}

TEST(ElapsedSec, ClampsTheLastMillisecondOfTheDay) {
  ManualClock clock(DateTime{2026, 12, 7, 23, 59, 59, 999}, 0);
  EXPECT_NEAR(ElapsedSec(86399.0f, clock), 0.999f, 1e-3);
}

TEST(WaitWithEvents, ReturnsAfterHalfASecondAcrossMidnight) {
  ManualClock clock(DateTime{2026, 12, 7, 23, 59, 59, 800}, 0);
  int pumps = 0;
  WaitWithEvents(500, 0, clock, [&] {
    ++pumps;
    clock.Advance(0.15);
  });
  // Started at 23:59:59.8; returns at the first reading more than 0.5 s on.
  EXPECT_EQ(pumps, 4);
  EXPECT_EQ(clock.Now().local.day, 8);
}

TEST(WaitWithEvents, PumpsOnceForZero) {
  ManualClock clock;
  int pumps = 0;
  WaitWithEvents(0, 0, clock, [&] { ++pumps; });
  EXPECT_EQ(pumps, 1);
}

}  // namespace
}  // namespace varn
