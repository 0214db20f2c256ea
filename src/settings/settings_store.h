#pragma once
// The settings store. Every persistent setting is text under a key, kept
// either in the file varn.ini next to the program (when that file exists at
// start-up) or in the per-user store ${XDG_CONFIG_HOME:-~/.config}/varnaudio/
// varn.conf. The choice is made once at start-up and holds for the run.
//
// Rules both back ends keep: "***" stands for an empty value; a missing key
// gives the caller's default; the ini back end writes that default back (so
// the file documents every key the program reads), the per-user store never
// does.
//
// Each read or write parses the whole file and each write replaces it
// (temporary file, fsync, rename); a SettingsBatch turns a run of them into
// one parse and one replacement per file. The store is used from one thread.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "settings/ini_document.h"

namespace varn {

inline constexpr std::string_view kEmptyMarker = "***";
inline constexpr std::string_view kMissingMarker = "ISDEFAULT";
inline constexpr std::string_view kIniSection = "conf";
inline constexpr std::string_view kCompanyName = "VarnAudio";
inline constexpr size_t kIniValueMaxBytes = 254;   // the profile reader's 255-byte buffer
inline constexpr size_t kUserValueMaxBytes = 255;  // the per-user store's 256-byte buffer
// A key's own limit (SettingValueLimit) replaces these for the keys with
// room for long values. A write longer than the key's limit is refused
// (and noted in the diagnostics file): no value is ever stored cut.

enum class StoreBackend { Ini, User };

struct StoreChoice {
  StoreBackend backend = StoreBackend::User;
  std::string location;  // the ini file path, or the per-user store name
};

// What a read of `key` gives for `raw`, the text after "key=" in the file
// of `backend`: cut to the key's limit (ini) or refused when longer (the
// per-user store), cut at a NUL byte, "***" as empty. nullopt when the key
// counts as missing and its default is used.
std::optional<std::string> StoredValueReadBack(StoreBackend backend, std::string_view key,
                                               std::string_view raw);

// The limit a read of `key` in `backend` keeps to.
size_t ReadBackLimit(StoreBackend backend, std::string_view key);

class SettingsStore {
 public:
  // appFolder: the program folder; userConfigRoot: the folder that holds the
  // company folder of the per-user store (normally ~/.config).
  SettingsStore(std::string appFolder, std::string userConfigRoot);

  // Fixes the ini path for the run: set only when varn.ini is an ordinary
  // file in the program folder now. Never creates the file.
  void ChooseAtStartup();
  const std::string& IniPath() const { return iniPath_; }
  const std::string& AppFolderPath() const { return appFolder_; }

  StoreChoice ResolveStore(std::string_view storeName = {}, int mode = 0) const;

  std::string ReadSetting(std::string_view key, std::string_view defaultText, int mode = 0,
                          std::string_view storeName = {}) const;
  void WriteSetting(std::string_view key, std::string_view value, int mode = 0,
                    std::string_view storeName = {}) const;

  // Ini back end. An empty iniFile means the program's own varn.ini, an
  // empty section means "conf".
  std::string IniReadValue(std::string_view key, std::string_view defaultText,
                           std::string_view iniFile, std::string_view section,
                           bool writeBackDefault) const;
  bool IniWriteValue(std::string_view key, std::string_view value, std::string_view iniFile,
                     std::string_view section) const;

  // Per-user back end (the per-user registry key of the program's first
  // home). An empty store name means the program's title.
  std::string RegReadValue(std::string_view key, std::string_view defaultText,
                           std::string_view storeName = {}) const;
  int RegWriteValue(std::string_view key, std::string_view value,
                    std::string_view storeName = {}) const;
  bool RegRemoveValue(std::string_view key, std::string_view storeName = {}) const;
  std::string UserStorePath(std::string_view storeName = {}) const;
  // The file the settings of this run are kept in: varn.ini, else varn.conf.
  std::string SettingsFilePath() const { return iniPath_.empty() ? UserStorePath() : iniPath_; }

 private:
  friend class SettingsBatch;

  // One settings file as a batch holds it.
  struct BatchFile {
    IniDocument doc;
    bool present = false;     // read from disk, or created by a write in the batch
    bool unreadable = false;  // there but unreadable: never written
    bool changed = false;
  };

  // The batch's copy of the file, read on first touch; nullptr outside a batch.
  BatchFile* FileInBatch(const std::string& path) const;
  std::optional<std::string> LookUp(const std::string& path, std::string_view section,
                                    std::string_view key) const;
  // Applies `change` to the parsed file and stores the result. A missing file
  // is started empty only when createMissing.
  template <class Change>
  bool Edit(const std::string& path, bool createMissing, Change&& change) const;
  void EndBatch() const;

  std::string appFolder_;
  std::string userRoot_;
  std::string iniPath_;
  mutable int batchDepth_ = 0;
  mutable std::map<std::string, BatchFile> batchFiles_;
};

// ${XDG_CONFIG_HOME:-$HOME/.config}
std::string DefaultUserConfigRoot();

// The process-wide store that ReadSetting and WriteSetting below use. Set
// once at start-up; tests install their own.
void SetActiveStore(const SettingsStore* store);
const SettingsStore* ActiveStore();

// While one is alive, reads and writes of `store` work on one parsed copy of
// each file it touches; the files that changed are written once when the
// last (outermost) batch ends. A null store makes the batch do nothing.
class SettingsBatch {
 public:
  explicit SettingsBatch(const SettingsStore* store = ActiveStore());
  ~SettingsBatch();
  SettingsBatch(const SettingsBatch&) = delete;
  SettingsBatch& operator=(const SettingsBatch&) = delete;

 private:
  const SettingsStore* store_;
};

// How many times this process has replaced a settings file; lets checks see
// that a batch wrote once.
uint64_t SettingsFilesWritten();

// Reads through the active store; "" when there is none.
std::string ReadSetting(std::string_view key, std::string_view defaultText);
void WriteSetting(std::string_view key, std::string_view value);
void WriteSetting(std::string_view key, const char* value);
void WriteSetting(std::string_view key, const std::string& value);
void WriteSetting(std::string_view key, int32_t value);
void WriteSetting(std::string_view key, int16_t value);
void WriteSetting(std::string_view key, float value);

}  // namespace varn
