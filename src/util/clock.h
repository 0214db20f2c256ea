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
  virtual ClockReading Now() const = 0;
  double SecondsSinceMidnight() const { return Now().secondsSinceMidnight; }
};

class SystemClock final : public Clock {
 public:
  ClockReading Now() const override;
};

// A clock for tests: it stands still until it is set or advanced.
class ManualClock final : public Clock {
 public:
  // Local wall-clock time and the offset of local time from UTC in seconds
  // (local = UTC + offset).
  explicit ManualClock(DateTime local = {}, int utcOffsetSeconds = 0);
  ClockReading Now() const override;
  void Set(DateTime local, int utcOffsetSeconds);
  void Set(DateTime local) { Set(local, utcOffset_); }
  void Advance(double seconds);
  // Moves to the given local time of day, on the next day if it is not later.
  void AdvanceTo(int hour, int minute, int second, int millisecond = 0);

 private:
  int64_t localMs_ = 0;  // milliseconds since 1970-01-01 00:00 local
  int utcOffset_ = 0;
};

// Calendar arithmetic on the proleptic Gregorian calendar.
int64_t DaysFromCivil(int year, int month, int day);
DateTime DateTimeFromEpochMs(int64_t ms);
int64_t EpochMsFromDateTime(const DateTime& t);

}  // namespace varn
