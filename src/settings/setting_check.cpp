#include "settings/setting_check.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "settings/setting_keys.h"
#include "settings/stream_setting.h"
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
      if (!number || std::fabs(*number) > std::numeric_limits<float>::max())
        return Refuse(key, "a number");
      return Accept(TrimBlanks(value));
    case SettingType::Text:
      return Accept(std::string(value));
  }
  return Accept(std::string(value));
}

// One decimal as the dialogs show it; a small negative value is zero.
std::string OneDecimal(double v) {
  std::string text = FormatFixed(v, 1);
  return text == "-0.0" ? "0.0" : text;
}

// What the program reads in place of a stored value that fails its check.
std::string Fallback(std::string_view key, const SettingKeyInfo& info, std::string_view stored) {
  const std::string def = SettingDefault(key);
  const std::optional<double> number = ParseNumber(stored);
  if (!number) return def;
  if (!info.choices.empty()) {
    const double whole = RoundHalfEven(*number);
    for (const int32_t c : info.choices)
      if (whole == c) return std::to_string(c);
    return def;
  }
  const bool wholeKind = info.type == SettingType::Integer || info.type == SettingType::Short;
  if (info.range) {
    const double v = ClampToDialogRange(key, *number);
    if (wholeKind || info.range->pattern == "0") return WholeText(RoundHalfEven(v));
    return OneDecimal(v);
  }
  switch (info.type) {
    case SettingType::Integer:
      if (const auto v = ToInt32(*number)) return std::to_string(*v);
      return def;
    case SettingType::Short:
      if (const auto v = ToInt16(*number)) return std::to_string(*v);
      return def;
    case SettingType::Real:
    case SettingType::Text:
      return def;
  }
  return def;
}

}  // namespace

std::string LengthRefusal(std::string_view key, std::string_view value) {
  const size_t limit = SettingValueLimit(key);
  if (value.size() <= limit) return "";
  return std::string(key) + " holds at most " + std::to_string(limit) + " bytes; this value has " +
         std::to_string(value.size());
}

SettingUse UseStoredValue(std::string_view key, std::string_view stored, const SettingRule& rule) {
  if (!IsKnownSetting(key)) return {true, std::string(stored), ""};
  const SettingCheck check = rule(key, stored);
  if (check.ok) return {true, std::string(stored), ""};
  const SettingKeyInfo& info = *FindSettingKey(key);
  const std::string problem =
      check.rule.empty() ? "cannot be used (" + check.message + ")" : "is not " + check.rule;
  return {false, Fallback(key, info, stored), problem};
}

std::string UsableSettingText(std::string_view key, std::string_view stored) {
  return UseStoredValue(key, stored).used;
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
  if (info.scope == KeyScope::Stream) {
    const StreamSettingParse parse = ParseStreamSetting(value);
    if (!parse.problem.empty()) return {false, "", std::string(key) + ": " + parse.problem, ""};
    return {true, std::string(value), "", ""};
  }
  const std::optional<double> number = ParseNumber(value);
  if (!info.choices.empty()) return CheckChoice(key, info, number);
  if (info.range) return CheckRange(key, *info.range, number);
  return CheckKind(key, info.type, value, number);
}

}  // namespace varn
