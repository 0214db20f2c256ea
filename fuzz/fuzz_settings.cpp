// The settings store's read path on an arbitrary settings file: varn.ini in
// the program folder and the per-user varn.conf hold whatever a hand edit
// left there. Every key of the catalogue (and every key the text names) is
// read the way the program reads it, in a batch and (some) one by one; a
// read must end, give text within the store's limits and numbers that are
// finite, and give the same value again once its default has been written
// back.

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/monitor_settings.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "temp_folder.h"

namespace {

struct Folders {
  std::string app;   // holds varn.ini: the ini back end
  std::string bare;  // no varn.ini: the per-user back end
  std::string user;  // the per-user root
  std::string userFile;
};

const Folders& Paths() {
  static const Folders f = [] {
    const std::string base = varn::fuzz::TempFolder();
    Folders p{base + "app/", base + "bare/", base + "user", base + "user/varnaudio/varn.conf"};
    for (const std::string& d : {p.app, p.bare, p.user, p.user + "/varnaudio"})
      mkdir(d.c_str(), 0700);
    return p;
  }();
  return f;
}

void WriteText(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// The full keys to read: each catalogue entry (numbered ones as 1), then
// the first keys the text itself names.
struct Keys {
  std::vector<std::string> all;
  size_t catalogued = 0;  // all[0, catalogued) come from the catalogue
};

Keys KeysToRead(std::string_view text) {
  Keys keys;
  for (const varn::SettingKeyInfo& info : varn::SettingCatalogue())
    keys.all.push_back(std::string(info.name) + (info.scope == varn::KeyScope::Global ? "" : "1"));
  keys.catalogued = keys.all.size();
  size_t at = 0;
  for (int n = 0; n < 8 && at < text.size(); ++n) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    if (const size_t eq = line.find('='); eq != std::string_view::npos && eq > 0)
      keys.all.emplace_back(line.substr(0, eq));
    at = end + 1;
  }
  return keys;
}

void CheckText(const std::string& value, size_t limit) {
  if (value.size() > limit || value.find('\0') != std::string::npos) std::abort();
}

// Reads a key as its catalogue type says (text for unknown keys) and shows
// the value as text.
std::string ReadTyped(const std::string& key, size_t limit) {
  const varn::SettingKeyInfo* info = varn::FindSettingKey(key);
  switch (info ? info->type : varn::SettingType::Text) {
    case varn::SettingType::Integer:
      return std::to_string(varn::ReadKeyInt(key));
    case varn::SettingType::Short:
      return std::to_string(varn::ReadKeyShort(key));
    case varn::SettingType::Real: {
      const float v = varn::ReadKeyReal(key);
      if (!std::isfinite(v)) std::abort();
      return std::to_string(v);
    }
    case varn::SettingType::Text:
      break;
  }
  std::string text = varn::ReadKeyText(key);
  CheckText(text, limit);
  return text;
}

// One back end: a batch reads every key (and writes the missing defaults
// back once), as the loaders do; then some of the keys read one by one (a
// full parse each) must give the same values.
void Exercise(const std::string& appFolder, const Keys& keys, size_t slice, size_t limit) {
  varn::SettingsStore store(appFolder, Paths().user);
  store.ChooseAtStartup();
  varn::SetActiveStore(&store);
  std::map<std::string, std::string> batched;
  {
    varn::SettingsBatch batch(&store);
    for (const std::string& key : keys.all) batched.emplace(key, ReadTyped(key, limit));
    const varn::MonitorSettings m = varn::LoadMonitorSettings(1);
    if (!std::isfinite(m.peakHoldSec) || !std::isfinite(m.fftAvrSec) ||
        !std::isfinite(m.maxGateLevel) || !std::isfinite(m.minGateLevel) ||
        !std::isfinite(m.puchiOkLength))
      std::abort();
  }
  std::vector<size_t> single;
  for (size_t i = 0; i < 6; ++i) single.push_back((slice + i) % keys.catalogued);
  for (size_t i = keys.catalogued; i < keys.all.size(); ++i) single.push_back(i);
  for (const size_t i : single) {
    const std::string& key = keys.all[i];
    if (ReadTyped(key, limit) != batched.at(key)) std::abort();
    // The raw text, as `varn config get` shows it.
    CheckText(store.ReadSetting(key, "x"), limit);
  }
  varn::SetActiveStore(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Folders& p = Paths();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Keys keys = KeysToRead(text);
  // Which catalogue keys are also read one by one: a different few for
  // different inputs.
  const size_t slice = size * 7;
  WriteText(p.app + "varn.ini", data, size);
  Exercise(p.app, keys, slice, varn::kIniValueMaxBytes);
  WriteText(p.userFile, data, size);
  Exercise(p.bare, keys, slice, varn::kUserValueMaxBytes);
  return 0;
}
