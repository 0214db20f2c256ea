// The settings store's read path on an arbitrary settings file: varn.ini in
// the program folder and the per-user varn.conf hold whatever a hand edit
// left there. Every key of the catalogue (and every key the text names) is
// read the way the program reads it, in a batch and one by one; a read must
// end, give text within the store's limits and numbers that are finite, and
// give the same value again once its default has been written back.

#include <sys/stat.h>
#include <unistd.h>

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
#include "settings/setting_value.h"
#include "settings/settings_store.h"

namespace {

struct Folders {
  std::string app;      // holds varn.ini: the ini back end
  std::string bare;     // no varn.ini: the per-user back end
  std::string user;     // the per-user root
  std::string userFile;
};

const Folders& Paths() {
  static const Folders f = [] {
    // tmpfs when there is one: each default written back is a synced file.
    struct stat st {};
    const std::string root = stat("/dev/shm", &st) == 0 ? "/dev/shm" : "/tmp";
    const std::string base = root + "/varn-fuzz-settings-" + std::to_string(getpid());
    Folders p{base + "/app/", base + "/bare/", base + "/user", base + "/user/varnaudio/varn.conf"};
    for (const std::string& d : {base, p.app, p.bare, p.user, p.user + "/varnaudio"})
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
std::vector<std::string> KeysToRead(std::string_view text) {
  std::vector<std::string> keys;
  for (const varn::SettingKeyInfo& info : varn::SettingCatalogue()) {
    if (info.scope == varn::KeyScope::Global) {
      keys.emplace_back(info.name);
    } else {
      keys.push_back(std::string(info.name) + "1");
    }
  }
  size_t at = 0;
  for (int n = 0; n < 8 && at < text.size(); ++n) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    if (const size_t eq = line.find('='); eq != std::string_view::npos && eq > 0)
      keys.emplace_back(line.substr(0, eq));
    at = end + 1;
  }
  return keys;
}

void CheckText(const std::string& value, size_t limit) {
  if (value.size() > limit || value.find('\0') != std::string::npos) std::abort();
}

// Reads every key as its catalogue type says; the values by key.
std::map<std::string, std::string> ReadAll(const std::vector<std::string>& keys, size_t limit) {
  std::map<std::string, std::string> values;
  for (const std::string& key : keys) {
    const varn::SettingKeyInfo* info = varn::FindSettingKey(key);
    std::string shown;
    switch (info ? info->type : varn::SettingType::Text) {
      case varn::SettingType::Integer: shown = std::to_string(varn::ReadKeyInt(key)); break;
      case varn::SettingType::Short: shown = std::to_string(varn::ReadKeyShort(key)); break;
      case varn::SettingType::Real: {
        const float v = varn::ReadKeyReal(key);
        if (!std::isfinite(v)) std::abort();
        shown = std::to_string(v);
        break;
      }
      case varn::SettingType::Text: {
        shown = varn::ReadKeyText(key);
        if (info) CheckText(shown, limit);  // an unknown key's default is "" anyway
        break;
      }
    }
    values.emplace(key, shown);
  }
  const varn::MonitorSettings m = varn::LoadMonitorSettings(1);
  if (!std::isfinite(m.peakHoldSec) || !std::isfinite(m.fftAvrSec) ||
      !std::isfinite(m.maxGateLevel) || !std::isfinite(m.minGateLevel) ||
      !std::isfinite(m.puchiOkLength))
    std::abort();
  return values;
}

// One back end: a batch that reads everything (and writes the missing
// defaults back once), then the same reads one by one, which must agree.
void Exercise(const std::string& appFolder, const std::vector<std::string>& keys, size_t limit) {
  varn::SettingsStore store(appFolder, Paths().user);
  store.ChooseAtStartup();
  varn::SetActiveStore(&store);
  std::map<std::string, std::string> batched;
  {
    varn::SettingsBatch batch(&store);
    batched = ReadAll(keys, limit);
  }
  if (ReadAll(keys, limit) != batched) std::abort();
  // The raw text read, as `varn config get` shows it.
  for (size_t i = keys.size() > 4 ? keys.size() - 4 : 0; i < keys.size(); ++i)
    CheckText(store.ReadSetting(keys[i], "x"), limit);
  varn::SetActiveStore(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Folders& p = Paths();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> keys = KeysToRead(text);
  WriteText(p.app + "varn.ini", data, size);
  Exercise(p.app, keys, varn::kIniValueMaxBytes);
  WriteText(p.userFile, data, size);
  Exercise(p.bare, keys, varn::kUserValueMaxBytes);
  return 0;
}
