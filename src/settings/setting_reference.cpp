#include "settings/setting_reference.h"

#include <cstdio>

#include "settings/setting_notes.h"

namespace varn {

namespace {

std::string ReferenceBound(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string ScopeText(KeyScope scope) {
  switch (scope) {
    case KeyScope::Global:
      return "global";
    case KeyScope::Channel:
      return "per line (N 1 to 8)";
    case KeyScope::Set:
      return "per setting set (N 1 to 8)";
    case KeyScope::Column:
      return "per log column (N 1 to 5)";
    case KeyScope::Stream:
      return "per stream (N 1 to 16)";
  }
  return "";
}

std::string KindText(const SettingKeyInfo& info) {
  if (info.range) return info.range->pattern == "0" ? "whole number" : "number, one decimal";
  switch (info.type) {
    case SettingType::Integer:
    case SettingType::Short:
      return "whole number";
    case SettingType::Real:
      return "number";
    case SettingType::Text:
      return "text";
  }
  return "";
}

// The values the key takes; "any" where the kind alone decides.
std::string ValuesText(const SettingKeyInfo& info) {
  if (!info.choices.empty()) {
    std::string list = "one of ";
    for (size_t i = 0; i < info.choices.size(); ++i)
      list += (i ? ", " : "") + std::to_string(info.choices[i]);
    return list;
  }
  if (info.range) {
    if (info.range->min == 0 && info.range->max == 1 && info.range->pattern == "0") return "0 or 1";
    return ReferenceBound(info.range->min) + " to " + ReferenceBound(info.range->max);
  }
  if (info.type == SettingType::Text) return "up to " + std::to_string(info.maxBytes) + " bytes";
  if (info.type == SettingType::Short) return "-32768 to 32767";
  return "any";
}

std::string DefaultText(const SettingKeyInfo& info) {
  switch (info.defaultKind) {
    case DefaultKind::Fixed:
      return info.defaultText.empty() ? "empty" : std::string(info.defaultText);
    case DefaultKind::DataFolder:
      return "varn_data/ in the program folder";
    case DefaultKind::ChannelName:
      return "系統名N";
    case DefaultKind::WindowCurrent:
      return "the window's own";
  }
  return "";
}

struct Row {
  std::string name, scope, kind, values, def, unit, meaning;
};

Row RowOf(const SettingKeyInfo& info) {
  const SettingNotes* notes = FindSettingNotes(info.name);
  return {ReferenceName(info),
          ScopeText(info.scope),
          KindText(info),
          ValuesText(info),
          DefaultText(info),
          notes && !notes->unit.empty() ? std::string(notes->unit) : "-",
          notes ? std::string(notes->meaning) : "(no description)"};
}

}  // namespace

std::string ReferenceName(const SettingKeyInfo& info) {
  return std::string(info.name) + (info.scope == KeyScope::Global ? "" : "N");
}

std::string DescribeSetting(const SettingKeyInfo& info) {
  const Row r = RowOf(info);
  return r.name + "\n  scope    " + r.scope + "\n  kind     " + r.kind + "\n  values   " +
         r.values + "\n  default  " + r.def + "\n  unit     " + r.unit + "\n  meaning  " +
         r.meaning + "\n";
}

std::string DescribeAllSettings() {
  std::string out;
  for (const SettingKeyInfo& info : SettingCatalogue())
    out += (out.empty() ? "" : "\n") + DescribeSetting(info);
  return out;
}

std::string SettingsReferenceTable() {
  std::string out =
      "| key | scope | kind | values | default | unit | meaning |\n"
      "|---|---|---|---|---|---|---|\n";
  for (const SettingKeyInfo& info : SettingCatalogue()) {
    const Row r = RowOf(info);
    out += "| `" + r.name + "` | " + r.scope + " | " + r.kind + " | " + r.values + " | " + r.def +
           " | " + r.unit + " | " + r.meaning + " |\n";
  }
  return out;
}

}  // namespace varn
