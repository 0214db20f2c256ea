#pragma once
// The one source of "now". Everything that reads the time takes a Clock, so
// tests can cross midnight or the top of an hour in a millisecond.

#include <cstdint>

namespace varn {

struct DateTime {
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// One consistent reading: local date and time, UTC date and time, and the
// local time of day in seconds since midnight (the program's timer unit).
struct ClockReading {
  DateTime local;
  DateTime utc;
  double secondsSinceMidnight = 0.0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // The wall clock: it names files and stamps lines, and it may be stepped
  // (an NTP correction, a changed time zone, daylight saving time).
  virtual ClockReading Now() const = 0;
  // Seconds on a clock that only goes forward, at the pace of real time,
  // whatever is done to the wall clock: every duration is measured on it.
  virtual double Steady() const = 0;
  double SecondsSinceMidnight() const { return Now().secondsSinceMidnight; }
};

class SystemClock final : public Clock {
 public:
  ClockReading Now() const override;
  double Steady() const override;
};

// A clock for tests: it stands still until it is set or advanced. Time that
// passes (Advance, AdvanceTo, a Set to a later time) moves both readings;
// a Set to an earlier time and StepWall move the wall clock only, as a
// step of the system clock would.
class ManualClock final : public Clock {
 public:
  // Local wall-clock time and the offset of local time from UTC in seconds
  // (local = UTC + offset).
  explicit ManualClock(DateTime local = {}, int utcOffsetSeconds = 0);
  ClockReading Now() const override;
  double Steady() const override { return static_cast<double>(steadyMs_) / 1000.0; }
  void Set(DateTime local, int utcOffsetSeconds);
  void Set(DateTime local) { Set(local, utcOffset_); }
  void Advance(double seconds);
  // Moves to the given local time of day, on the next day if it is not later.
  void AdvanceTo(int hour, int minute, int second, int millisecond = 0);
  // The wall clock jumps by `seconds` (either way); no time passes.
  void StepWall(double seconds);
  // A new offset of local time from UTC (a time zone change): local time
  // jumps, UTC and the steady clock do not.
  void SetUtcOffset(int utcOffsetSeconds);

 private:
  int64_t localMs_ = 0;  // milliseconds since 1970-01-01 00:00 local
  int utcOffset_ = 0;
  int64_t steadyMs_ = 1000000;  // far from 0, as a real monotonic clock is
};

// Calendar arithmetic on the proleptic Gregorian calendar.
int64_t DaysFromCivil(int year, int month, int day);
DateTime DateTimeFromEpochMs(int64_t ms);
int64_t EpochMsFromDateTime(const DateTime& t);

}  // namespace varn
