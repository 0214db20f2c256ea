#include "settings/settings_store.h"

#include <cstdlib>

#include "log/event_log.h"
#include "settings/folders.h"
#include "settings/ini_document.h"
#include "settings/setting_keys.h"
#include "util/error_catch.h"
#include "util/text.h"
#include "util/text_file.h"

namespace varn {

namespace {

const SettingsStore* gActiveStore = nullptr;

std::string EmptyAsMarker(std::string_view value) {
  return value.empty() ? std::string(kEmptyMarker) : std::string(value);
}

std::string MarkerAsEmpty(std::string value) {
  return value == kEmptyMarker ? std::string() : value;
}

uint64_t gFilesWritten = 0;

// A value longer than its key allows is never stored: read back it would
// come cut, and a cut command or path does something else than was meant.
bool FitsKey(std::string_view key, std::string_view value) {
  const size_t limit = SettingValueLimit(key);
  if (value.size() <= limit) return true;
  WriteLogLine("Setting " + std::string(key) + " not stored: " + std::to_string(value.size()) +
                   " bytes, it holds at most " + std::to_string(limit),
               true);
  return false;
}

bool WriteFile(const std::string& path, const std::string& text) {
  ++gFilesWritten;
  return ReplaceFileContents(path, text);
}

}  // namespace

size_t ReadBackLimit(StoreBackend backend, std::string_view key) {
  const size_t limit = SettingValueLimit(key);
  if (limit != kOriginalValueBytes) return limit;
  return backend == StoreBackend::Ini ? kIniValueMaxBytes : kUserValueMaxBytes;
}

std::optional<std::string> StoredValueReadBack(StoreBackend backend, std::string_view key,
                                               std::string_view raw) {
  const size_t limit = ReadBackLimit(backend, key);
  if (backend == StoreBackend::User) {
    // A value that does not fit the 256-byte buffer fails the query; the
    // default stays.
    if (raw.size() > limit) return std::nullopt;
    return MarkerAsEmpty(CutAtNull(raw));
  }
  std::string text(CutUtf8(raw, limit));
  if (const size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  if (text == kMissingMarker) return std::nullopt;
  return MarkerAsEmpty(std::move(text));
}

SettingsStore::BatchFile* SettingsStore::FileInBatch(const std::string& path) const {
  if (batchDepth_ == 0) return nullptr;
  auto [it, added] = batchFiles_.try_emplace(path);
  if (added) {
    BatchFile& f = it->second;
    if (const auto text = ReadWholeFile(path)) {
      f.doc = IniDocument::Parse(*text);
      f.present = true;
    } else {
      f.unreadable = RegularFileExists(path);
    }
  }
  return &it->second;
}

// Reads one value of a section; nullopt when the key or the file is missing.
std::optional<std::string> SettingsStore::LookUp(const std::string& path, std::string_view section,
                                                 std::string_view key) const {
  if (const BatchFile* f = FileInBatch(path)) return f->doc.Get(section, key);
  const auto text = ReadWholeFile(path);
  if (!text) return std::nullopt;
  return IniDocument::Parse(*text).Get(section, key);
}

template <class Change>
bool SettingsStore::Edit(const std::string& path, bool createMissing, Change&& change) const {
  if (BatchFile* f = FileInBatch(path)) {
    if (f->unreadable || (!f->present && !createMissing)) return false;
    if (!change(f->doc)) return false;
    f->present = f->changed = true;
    return true;
  }
  const auto text = ReadWholeFile(path);
  if (!text && (!createMissing || RegularFileExists(path))) return false;  // unreadable: leave it
  IniDocument doc = text ? IniDocument::Parse(*text) : IniDocument();
  if (!change(doc)) return false;
  return WriteFile(path, doc.Text());
}

void SettingsStore::EndBatch() const {
  if (batchDepth_ == 0 || --batchDepth_ > 0) return;
  std::map<std::string, BatchFile> files;
  files.swap(batchFiles_);
  for (const auto& [path, f] : files)
    if (f.changed) TrappedStep([&] { WriteFile(path, f.doc.Text()); });
}

SettingsStore::SettingsStore(std::string appFolder, std::string userConfigRoot)
    : appFolder_(NormaliseFolder(appFolder, false)), userRoot_(std::move(userConfigRoot)) {}

void SettingsStore::ChooseAtStartup() {
  const std::string path = appFolder_ + std::string(kAppTitle) + ".ini";
  iniPath_ = RegularFileExists(path) ? path : std::string();
}

StoreChoice SettingsStore::ResolveStore(std::string_view storeName, int mode) const {
  if (!storeName.empty()) {
    const std::string path = appFolder_ + std::string(storeName) + ".ini";
    if (RegularFileExists(path)) return {StoreBackend::Ini, path};
    return {StoreBackend::User, std::string(storeName)};
  }
  if (mode == 1) {
    const std::string path = appFolder_ + std::string(kAppTitle) + ".ini";
    if (RegularFileExists(path)) return {StoreBackend::Ini, path};
    return {StoreBackend::User, std::string()};
  }
  if (!iniPath_.empty()) return {StoreBackend::Ini, iniPath_};
  return {StoreBackend::User, std::string(kAppTitle)};
}

std::string SettingsStore::ReadSetting(std::string_view key, std::string_view defaultText, int mode,
                                       std::string_view storeName) const {
  return Trapped(std::string(), [&] {
    const StoreChoice c = ResolveStore(storeName, mode);
    if (c.backend == StoreBackend::Ini) return IniReadValue(key, defaultText, c.location, {}, true);
    return RegReadValue(key, defaultText, c.location);
  });
}

void SettingsStore::WriteSetting(std::string_view key, std::string_view value, int mode,
                                 std::string_view storeName) const {
  TrappedStep([&] {
    const StoreChoice c = ResolveStore(storeName, mode);
    if (c.backend == StoreBackend::Ini)
      IniWriteValue(key, value, c.location, {});
    else
      RegWriteValue(key, value, c.location);
  });
}

std::string SettingsStore::IniReadValue(std::string_view key, std::string_view defaultText,
                                        std::string_view iniFile, std::string_view section,
                                        bool writeBackDefault) const {
  const std::string path =
      iniFile.empty() ? appFolder_ + std::string(kAppTitle) + ".ini" : std::string(iniFile);
  const std::string_view sec = section.empty() ? kIniSection : section;
  const auto found = LookUp(path, sec, key);
  if (found)
    if (auto text = StoredValueReadBack(StoreBackend::Ini, key, *found)) return *text;
  if (writeBackDefault) IniWriteValue(key, defaultText, path, sec);
  return MarkerAsEmpty(std::string(defaultText));
}

bool SettingsStore::IniWriteValue(std::string_view key, std::string_view value,
                                  std::string_view iniFile, std::string_view section) const {
  const std::string path =
      iniFile.empty() ? appFolder_ + std::string(kAppTitle) + ".ini" : std::string(iniFile);
  const std::string_view sec = section.empty() ? kIniSection : section;
  if (!FitsKey(key, value)) return false;
  return Edit(path, true,
              [&](IniDocument& doc) { return doc.Set(sec, key, EmptyAsMarker(value)); });
}

std::string SettingsStore::UserStorePath(std::string_view storeName) const {
  std::string name = ToLowerAscii(storeName.empty() ? kAppTitle : storeName);
  for (char& c : name)
    if (c == '/') c = '_';
  return NormaliseFolder(userRoot_, false) + ToLowerAscii(kCompanyName) + "/" + name + ".conf";
}

std::string SettingsStore::RegReadValue(std::string_view key, std::string_view defaultText,
                                        std::string_view storeName) const {
  if (const auto found = LookUp(UserStorePath(storeName), kIniSection, key))
    if (auto text = StoredValueReadBack(StoreBackend::User, key, *found)) return *text;
  return MarkerAsEmpty(std::string(defaultText));
}

int SettingsStore::RegWriteValue(std::string_view key, std::string_view value,
                                 std::string_view storeName) const {
  if (!FitsKey(key, value)) return 0;
  const std::string path = UserStorePath(storeName);
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && !EnsureFolder(path.substr(0, slash))) return 0;
  const bool stored = Edit(path, true, [&](IniDocument& doc) {
    return doc.Set(kIniSection, key, EmptyAsMarker(value));
  });
  return stored ? 1 : 0;
}

bool SettingsStore::RegRemoveValue(std::string_view key, std::string_view storeName) const {
  return Edit(UserStorePath(storeName), false,
              [&](IniDocument& doc) { return doc.Remove(kIniSection, key); });
}

std::string DefaultUserConfigRoot() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config";
  return AppFolder() + ".config";
}

void SetActiveStore(const SettingsStore* store) { gActiveStore = store; }
const SettingsStore* ActiveStore() { return gActiveStore; }

SettingsBatch::SettingsBatch(const SettingsStore* store) : store_(store) {
  if (store_) ++store_->batchDepth_;
}

SettingsBatch::~SettingsBatch() {
  if (store_) store_->EndBatch();
}

uint64_t SettingsFilesWritten() { return gFilesWritten; }

std::string ReadSetting(std::string_view key, std::string_view defaultText) {
  return gActiveStore ? gActiveStore->ReadSetting(key, defaultText) : std::string();
}

void WriteSetting(std::string_view key, std::string_view value) {
  if (gActiveStore) gActiveStore->WriteSetting(key, value);
}
void WriteSetting(std::string_view key, const char* value) {
  WriteSetting(key, std::string_view(value));
}
void WriteSetting(std::string_view key, const std::string& value) {
  WriteSetting(key, std::string_view(value));
}
void WriteSetting(std::string_view key, int32_t value) { WriteSetting(key, std::to_string(value)); }
void WriteSetting(std::string_view key, int16_t value) { WriteSetting(key, std::to_string(value)); }
void WriteSetting(std::string_view key, float value) { WriteSetting(key, ShortestText(value)); }

}  // namespace varn
