#include "settings/settings_file_check.h"

#include <map>

#include "settings/ini_document.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "util/text.h"
#include "util/text_file.h"

namespace varn {

namespace {

// Enough of a value to recognise it on one line of a terminal.
constexpr size_t kShownBytes = 60;

// A value as a message shows it: NUL bytes and other control characters
// made visible, a long value cut with an ellipsis.
std::string Shown(std::string_view value) {
  const std::string_view head = CutUtf8(value, kShownBytes);
  std::string out;
  for (const char c : head) {
    if (c == '\0')
      out += "\\0";
    else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      out += '?';
    else
      out += c;
  }
  if (head.size() < value.size()) out += "…";
  return out;
}

std::string UsedText(const SettingKeyInfo& info, const std::string& used) {
  if (used.empty() && info.defaultKind == DefaultKind::WindowCurrent)
    return "the window's current value";
  return used.empty() ? "\"\"" : Shown(used);
}

std::string FileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<SettingProblem> CheckSettingsFile(const SettingsStore& store, const SettingRule& rule) {
  std::vector<SettingProblem> problems;
  const StoreBackend backend = store.IniPath().empty() ? StoreBackend::User : StoreBackend::Ini;
  const std::string path = store.SettingsFilePath();
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return problems;
  const std::string where = FileName(path) + " line ";
  std::map<std::string, size_t> seen;  // lower-case key, the line that counts
  for (const IniDocument::BodyLine& line : IniDocument::Parse(*text).SectionLines(kIniSection)) {
    const std::string at = where + std::to_string(line.number) + ": ";
    if (!line.key) {
      problems.push_back(
          {line.number, "", false, "",
           at + "\"" + Shown(TrimBlanks(line.text)) + "\" is not a setting (KEY=VALUE); ignored"});
      continue;
    }
    const std::string& key = *line.key;
    if (!IsKnownSetting(key)) continue;
    const auto [first, added] = seen.try_emplace(ToLowerAscii(key), line.number);
    if (!added) {
      problems.push_back({line.number, key, false, "",
                          at + key + "=" + Shown(line.value) + " repeats the key of line " +
                              std::to_string(first->second) + "; ignored"});
      continue;
    }
    const SettingKeyInfo& info = *FindSettingKey(key);
    const std::optional<std::string> readBack = StoredValueReadBack(backend, key, line.value);
    if (!readBack && line.value == kMissingMarker) continue;  // the default, on purpose
    const std::string stored = readBack.value_or(SettingDefault(key));
    const SettingUse use = UseStoredValue(key, stored, rule);
    std::string problem;
    if (line.value.find('\0') != std::string::npos)
      problem = "holds a NUL byte";
    else if (const size_t limit = ReadBackLimit(backend, key); line.value.size() > limit)
      problem = "is longer than " + std::to_string(limit) + " bytes";
    else if (!use.usable)
      problem = use.problem;
    else
      continue;
    problems.push_back({line.number, key, true, use.used,
                        at + key + "=" + Shown(line.value) + " " + problem + "; using " +
                            UsedText(info, use.used)});
  }
  return problems;
}

const SettingProblem* FindSettingProblem(const std::vector<SettingProblem>& problems,
                                         std::string_view key) {
  for (const SettingProblem& p : problems)
    if (p.replaced && EqualsIgnoreCase(p.key, key)) return &p;
  return nullptr;
}

}  // namespace varn
