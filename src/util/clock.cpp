#include "util/clock.h"

#include <ctime>

namespace varn {

int64_t DaysFromCivil(int year, int month, int day) {
  // Howard Hinnant's days_from_civil.
  int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

DateTime DateTimeFromEpochMs(int64_t ms) {
  int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
  int64_t rest = ms - days * 86400000;
  DateTime t;
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(rest / 3600000);
  t.minute = static_cast<int>(rest / 60000 % 60);
  t.second = static_cast<int>(rest / 1000 % 60);
  t.millisecond = static_cast<int>(rest % 1000);
  return t;
}

int64_t EpochMsFromDateTime(const DateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400000 + static_cast<int64_t>(t.hour) * 3600000 +
         t.minute * 60000 + t.second * 1000 + t.millisecond;
}

namespace {

DateTime FromTm(const std::tm& tm, int ms) {
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min,         tm.tm_sec,     ms};
}

double TimeOfDay(const DateTime& t) {
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0;
}

}  // namespace

ClockReading SystemClock::Now() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  const time_t secs = ts.tv_sec;
  const int ms = static_cast<int>(ts.tv_nsec / 1000000);
  std::tm local{};
  std::tm utc{};
  localtime_r(&secs, &local);
  gmtime_r(&secs, &utc);
  ClockReading r;
  r.local = FromTm(local, ms);
  r.utc = FromTm(utc, ms);
  // A leap second (tm_sec 60) is read as the last millisecond of the minute.
  if (r.local.second > 59) {
    r.local.second = 59;
    r.local.millisecond = 999;
  }
  if (r.utc.second > 59) {
    r.utc.second = 59;
    r.utc.millisecond = 999;
  }
  r.secondsSinceMidnight = TimeOfDay(r.local);
  return r;
}

double SystemClock::Steady() const {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

ManualClock::ManualClock(DateTime local, int utcOffsetSeconds) {
  localMs_ = EpochMsFromDateTime(local);
  utcOffset_ = utcOffsetSeconds;
}

void ManualClock::Set(DateTime local, int utcOffsetSeconds) {
  const int64_t ms = EpochMsFromDateTime(local);
  // UTC moving forward is time passing; anything else is a step.
  const int64_t utcAdvance =
      (ms - static_cast<int64_t>(utcOffsetSeconds) * 1000) - (localMs_ - static_cast<int64_t>(utcOffset_) * 1000);
  if (utcAdvance > 0) steadyMs_ += utcAdvance;
  localMs_ = ms;
  utcOffset_ = utcOffsetSeconds;
}

void ManualClock::StepWall(double seconds) {
  localMs_ += static_cast<int64_t>(seconds * 1000.0 + (seconds >= 0 ? 0.5 : -0.5));
}

void ManualClock::SetUtcOffset(int utcOffsetSeconds) {
  localMs_ += static_cast<int64_t>(utcOffsetSeconds - utcOffset_) * 1000;
  utcOffset_ = utcOffsetSeconds;
}

ClockReading ManualClock::Now() const {
  ClockReading r;
  r.local = DateTimeFromEpochMs(localMs_);
  r.utc = DateTimeFromEpochMs(localMs_ - static_cast<int64_t>(utcOffset_) * 1000);
  r.secondsSinceMidnight = TimeOfDay(r.local);
  return r;
}

void ManualClock::Advance(double seconds) {
  const int64_t ms = static_cast<int64_t>(seconds * 1000.0 + (seconds >= 0 ? 0.5 : -0.5));
  localMs_ += ms;
  if (ms > 0) steadyMs_ += ms;
}

void ManualClock::AdvanceTo(int hour, int minute, int second, int millisecond) {
  const DateTime now = DateTimeFromEpochMs(localMs_);
  DateTime target = now;
  target.hour = hour;
  target.minute = minute;
  target.second = second;
  target.millisecond = millisecond;
  int64_t ms = EpochMsFromDateTime(target);
  if (ms <= localMs_) ms += 86400000;
  steadyMs_ += ms - localMs_;
  localMs_ = ms;
}

}  // namespace varn
