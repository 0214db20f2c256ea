#include "archive/archive_time.h"

#include <ctime>
#include <optional>

#include "util/text.h"

namespace varn {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// The local fields of an instant (whole seconds) and its offset.
bool LocalFields(int64_t epochSeconds, std::tm& out) {
  const time_t t = static_cast<time_t>(epochSeconds);
  return localtime_r(&t, &out) != nullptr;
}

// Reads exactly `width` digits at `pos`.
std::optional<int> Digits(std::string_view text, size_t& pos, size_t width) {
  if (pos + width > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = 0; i < width; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  pos += width;
  return value;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

std::string Fields(const DateTime& t, char between) {
  return PadNumber(t.year, 4) + "-" + PadNumber(t.month, 2) + "-" + PadNumber(t.day, 2) + between +
         PadNumber(t.hour, 2) + ":" + PadNumber(t.minute, 2) + ":" + PadNumber(t.second, 2);
}

std::string OffsetText(int seconds) {
  const int a = seconds < 0 ? -seconds : seconds;
  return std::string(seconds < 0 ? "-" : "+") + PadNumber(a / 3600, 2) + ":" +
         PadNumber(a / 60 % 60, 2);
}

}  // namespace

int LocalUtcOffset(int64_t epochMs) {
  std::tm tm{};
  if (!LocalFields(FloorDiv(epochMs, 1000), tm)) return 0;
  return static_cast<int>(tm.tm_gmtoff);
}

LocalInstants ResolveLocalTime(const DateTime& local) {
  DateTime whole = local;
  whole.millisecond = 0;
  const int64_t naive = EpochMsFromDateTime(whole) / 1000;
  // Every offset in force within a day either side: a zone changes its
  // offset far less often than that.
  LocalInstants found;
  int offsets[3];
  int n = 0;
  for (const int64_t probe : {naive - 86400, naive, naive + 86400}) {
    std::tm tm{};
    if (!LocalFields(probe, tm)) continue;
    const int off = static_cast<int>(tm.tm_gmtoff);
    bool seen = false;
    for (int i = 0; i < n; ++i) seen = seen || offsets[i] == off;
    if (!seen) offsets[n++] = off;
  }
  int64_t candidates[3];
  int c = 0;
  for (int i = 0; i < n; ++i) {
    const int64_t u = naive - offsets[i];
    std::tm tm{};
    if (!LocalFields(u, tm)) continue;
    if (tm.tm_year + 1900 == whole.year && tm.tm_mon + 1 == whole.month &&
        tm.tm_mday == whole.day && tm.tm_hour == whole.hour && tm.tm_min == whole.minute &&
        tm.tm_sec == whole.second)
      candidates[c++] = u;
  }
  if (c == 0) return found;
  int64_t lo = candidates[0];
  int64_t hi = candidates[0];
  for (int i = 1; i < c; ++i) {
    lo = candidates[i] < lo ? candidates[i] : lo;
    hi = candidates[i] > hi ? candidates[i] : hi;
  }
  found.count = lo == hi ? 1 : 2;
  found.first = lo * 1000 + local.millisecond;
  found.second = hi * 1000 + local.millisecond;
  return found;
}

ArchiveTimeRead ReadArchiveTime(std::string_view raw) {
  ArchiveTimeRead r;
  const std::string trimmed = TrimBlanks(raw);
  const std::string_view text = trimmed;
  const std::string quoted = "\"" + trimmed + "\"";
  const std::string form = " (write YYYY-MM-DD HH:MM:SS, optionally with +HH:MM or Z)";
  size_t pos = 0;
  DateTime t;
  const auto year = Digits(text, pos, 4);
  bool ok = year && Expect(text, pos, '-');
  const auto month = ok ? Digits(text, pos, 2) : std::nullopt;
  ok = ok && month && Expect(text, pos, '-');
  const auto day = ok ? Digits(text, pos, 2) : std::nullopt;
  ok = ok && day;
  if (!ok) {
    r.error = "cannot read the time " + quoted + form;
    return r;
  }
  t.year = *year;
  t.month = *month;
  t.day = *day;
  if (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T' || text[pos] == 't')) {
    ++pos;
    const auto hour = Digits(text, pos, 2);
    const auto minute = hour && Expect(text, pos, ':') ? Digits(text, pos, 2) : std::nullopt;
    if (!minute) {
      r.error = "cannot read the time " + quoted + form;
      return r;
    }
    t.hour = *hour;
    t.minute = *minute;
    if (pos < text.size() && text[pos] == ':') {
      ++pos;
      const auto second = Digits(text, pos, 2);
      if (!second) {
        r.error = "cannot read the time " + quoted + form;
        return r;
      }
      t.second = *second;
    }
  }
  std::optional<int> offset;
  if (pos < text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
    ++pos;
    offset = 0;
  } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    const int sign = text[pos] == '-' ? -1 : 1;
    ++pos;
    const auto hh = Digits(text, pos, 2);
    std::optional<int> mm = 0;
    if (hh && pos < text.size()) {
      const bool colon = Expect(text, pos, ':');
      mm = Digits(text, pos, 2);
      if (!colon && !mm) mm = std::nullopt;
    }
    if (!hh || !mm || *hh > 23 || *mm > 59) {
      r.error = "cannot read the offset in " + quoted + " (write +HH:MM, -HH:MM or Z)";
      return r;
    }
    offset = sign * (*hh * 3600 + *mm * 60);
  }
  if (pos != text.size()) {
    r.error = "cannot read the time " + quoted + form;
    return r;
  }
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) ||
      t.hour > 23 || t.minute > 59 || t.second > 59) {
    r.error = "no such time: " + quoted;
    return r;
  }
  if (offset) {
    r.epochMs = EpochMsFromDateTime(t) - static_cast<int64_t>(*offset) * 1000;
    return r;
  }
  const LocalInstants at = ResolveLocalTime(t);
  if (at.count == 0) {
    r.error = "the local time " + quoted +
              " does not exist (the clocks skipped it when summer time began)";
    return r;
  }
  r.epochMs = at.first;
  r.repeatedHour = at.count == 2;
  return r;
}

std::string WriteLocalTime(int64_t epochMs) {
  std::tm tm{};
  if (!LocalFields(FloorDiv(epochMs, 1000), tm)) return WriteUtcTime(epochMs);
  const DateTime t{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                   tm.tm_min,         tm.tm_sec,     0};
  std::string text = Fields(t, ' ');
  if (ResolveLocalTime(t).count == 2) text += OffsetText(static_cast<int>(tm.tm_gmtoff));
  return text;
}

std::string WriteUtcTime(int64_t epochMs) {
  return Fields(DateTimeFromEpochMs(FloorDiv(epochMs, 1000) * 1000), ' ') + "Z";
}

}  // namespace varn
