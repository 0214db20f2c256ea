#include "settings/setting_check.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "settings/setting_keys.h"
#include "util/numeric.h"
#include "util/text.h"

namespace varn {

namespace {

// A range bound as people write it: 1, 0.1, -99.
std::string Bound(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

SettingCheck Refuse(std::string_view key, const std::string& what) {
  return {false, "", std::string(key) + " must be " + what, what};
}

SettingCheck Accept(std::string stored) { return {true, std::move(stored), "", ""}; }

bool Whole(double v) { return std::floor(v) == v; }

std::string WholeText(double v) { return std::to_string(static_cast<long long>(v)); }

SettingCheck CheckChoice(std::string_view key, const SettingKeyInfo& info,
                         std::optional<double> number) {
  std::string list;
  for (const int32_t c : info.choices) list += (list.empty() ? "" : ", ") + std::to_string(c);
  if (number && Whole(*number))
    for (const int32_t c : info.choices)
      if (*number == c) return Accept(std::to_string(c));
  return Refuse(key, "one of " + list);
}

SettingCheck CheckRange(std::string_view key, const DialogRange& range,
                        std::optional<double> number) {
  const bool whole = range.pattern == "0";
  const std::string span = "from " + Bound(range.min) + " to " + Bound(range.max);
  if (!number || (whole && !Whole(*number)) || *number < range.min || *number > range.max)
    return Refuse(key, (whole ? "a whole number " : "a number ") + span);
  if (whole) return Accept(WholeText(*number));
  std::string rounded = FormatFixed(RoundHalfEven(*number * 10.0) / 10.0, 1);
  if (rounded == "-0.0") rounded = "0.0";
  return Accept(rounded);
}

SettingCheck CheckKind(std::string_view key, SettingType type, std::string_view value,
                       std::optional<double> number) {
  switch (type) {
    case SettingType::Integer:
      if (!number || !Whole(*number) || *number < std::numeric_limits<int32_t>::min() ||
          *number > std::numeric_limits<int32_t>::max())
        return Refuse(key, "a whole number");
      return Accept(WholeText(*number));
    case SettingType::Short:
      if (!number || !Whole(*number) || *number < -32768 || *number > 32767)
        return Refuse(key, "a whole number from -32768 to 32767");
      return Accept(WholeText(*number));
    case SettingType::Real:
      if (!number) return Refuse(key, "a number");
      return Accept(TrimBlanks(value));
    case SettingType::Text:
      return Accept(std::string(value));
  }
  return Accept(std::string(value));
}

}  // namespace

std::string LengthRefusal(std::string_view key, std::string_view value) {
  const size_t limit = SettingValueLimit(key);
  if (value.size() <= limit) return "";
  return std::string(key) + " holds at most " + std::to_string(limit) + " bytes; this value has " +
         std::to_string(value.size());
}

bool IsKnownSetting(std::string_view key) {
  int number = 0;
  const SettingKeyInfo* info = FindSettingKey(key, &number);
  if (!info) return false;
  return info->scope == KeyScope::Global || (number >= 1 && number <= ScopeCount(info->scope));
}

SettingCheck CheckSettingValue(std::string_view key, std::string_view value) {
  if (!IsKnownSetting(key)) return {false, "", "unknown setting " + std::string(key), ""};
  if (value.find_first_of("\r\n") != std::string_view::npos)
    return {false, "", std::string(key) + " cannot hold a line break", "text on one line"};
  if (std::string refusal = LengthRefusal(key, value); !refusal.empty())
    return {false, "", refusal,
            "at most " + std::to_string(SettingValueLimit(key)) + " bytes long"};
  const SettingKeyInfo& info = *FindSettingKey(key);
  const std::optional<double> number = ParseNumber(value);
  if (!info.choices.empty()) return CheckChoice(key, info, number);
  if (info.range) return CheckRange(key, *info.range, number);
  return CheckKind(key, info.type, value, number);
}

}  // namespace varn
