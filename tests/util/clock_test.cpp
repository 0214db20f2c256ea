#include "util/clock.h"

#include <gtest/gtest.h>

namespace varn {
namespace {

TEST(ManualClock, KeepsLocalAndUtcApartByTheOffset) {
  // Tokyo: nine hours ahead of UTC, so 06:00 local is 21:00 UTC the day before.
  ManualClock clock(DateTime{2026, 12, 7, 6, 0, 0, 0}, 9 * 3600);
  const ClockReading r = clock.Now();
  EXPECT_EQ(r.local.day, 7);
  EXPECT_EQ(r.local.hour, 6);
  EXPECT_EQ(r.utc.day, 6);
  EXPECT_EQ(r.utc.hour, 21);
  EXPECT_DOUBLE_EQ(r.secondsSinceMidnight, 6 * 3600.0);
}

TEST(ManualClock, AdvancesAcrossMidnightMonthAndLeapDay) {
  ManualClock clock(DateTime{2028, 2, 28, 23, 59, 59, 900}, 0);
  clock.Advance(0.2);
  ClockReading r = clock.Now();
  EXPECT_EQ(r.local.month, 2);
  EXPECT_EQ(r.local.day, 29);  // 2028 is a leap year
  EXPECT_EQ(r.local.millisecond, 100);
  EXPECT_NEAR(r.secondsSinceMidnight, 0.1, 1e-9);

  clock.Advance(86400);
  r = clock.Now();
  EXPECT_EQ(r.local.month, 3);
  EXPECT_EQ(r.local.day, 1);

  ManualClock newYear(DateTime{2026, 12, 31, 23, 59, 59, 999}, 0);
  newYear.Advance(0.001);
  EXPECT_EQ(newYear.Now().local.year, 2027);
  EXPECT_EQ(newYear.Now().local.month, 1);
}

TEST(ManualClock, AdvanceToGoesForwardOnly) {
  ManualClock clock(DateTime{2026, 12, 7, 10, 30, 0, 0}, 0);
  clock.AdvanceTo(11, 0, 0);
  EXPECT_EQ(clock.Now().local.day, 7);
  EXPECT_EQ(clock.Now().local.hour, 11);
  clock.AdvanceTo(9, 0, 0);  // earlier in the day: the next morning
  EXPECT_EQ(clock.Now().local.day, 8);
  EXPECT_EQ(clock.Now().local.hour, 9);
}

TEST(Calendar, RoundTripsThroughEpochMilliseconds) {
  for (const DateTime t :
       {DateTime{1970, 1, 1, 0, 0, 0, 0}, DateTime{1999, 12, 31, 23, 59, 59, 999},
        DateTime{2000, 2, 29, 12, 0, 0, 1}, DateTime{2100, 3, 1, 0, 0, 0, 0}}) {
    const DateTime back = DateTimeFromEpochMs(EpochMsFromDateTime(t));
    EXPECT_EQ(back.year, t.year);
    EXPECT_EQ(back.month, t.month);
    EXPECT_EQ(back.day, t.day);
    EXPECT_EQ(back.hour, t.hour);
    EXPECT_EQ(back.millisecond, t.millisecond);
  }
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1) - DaysFromCivil(2000, 2, 28), 2);
}

TEST(SystemClock, AgreesWithItselfOnTimeOfDay) {
  const ClockReading r = SystemClock().Now();
  const double fromFields =
      r.local.hour * 3600.0 + r.local.minute * 60 + r.local.second + r.local.millisecond / 1000.0;
  EXPECT_DOUBLE_EQ(r.secondsSinceMidnight, fromFields);
  EXPECT_GE(r.local.year, 2024);
}

}  // namespace
}  // namespace varn
