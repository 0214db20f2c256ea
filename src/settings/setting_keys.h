#pragma once
// The one catalogue of every persistent setting: key, type, default and the
// range the settings dialogs accept. Every reader and writer of a setting
// goes through it, so a key's default is written in one place only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace varn {

enum class SettingType { Integer, Short, Real, Text };

// Global keys have a fixed name; the others end in "_" and take a number:
// the 1-based channel number, the setting set 1..8, a log column 1..5, or
// a network stream 1..16.
enum class KeyScope { Global, Channel, Set, Column, Stream };

enum class DefaultKind {
  Fixed,          // defaultText
  DataFolder,     // the program folder + "varn_data/"
  ChannelName,    // "系統名" + channel number
  WindowCurrent,  // the window's current value (no stored default)
};

// The bytes a stored value may hold. The original keys keep the 254 their
// values were always read back with; the commands, addresses and paths
// added since take 4096, enough for a command line with its arguments.
inline constexpr size_t kOriginalValueBytes = 254;
inline constexpr size_t kLongValueBytes = 4096;

struct DialogRange {
  double min;
  double max;
  std::string_view pattern;  // "0" whole numbers, "0.0" one decimal
};

struct SettingKeyInfo {
  std::string_view name;  // the full key, or the stem ending in "_"
  KeyScope scope;
  SettingType type;
  std::string_view defaultText;
  DefaultKind defaultKind = DefaultKind::Fixed;
  std::optional<DialogRange> range = std::nullopt;
  // The only values the program takes, for keys chosen from a list.
  std::span<const int32_t> choices = {};
  // Longer values are refused when stored and cut when read back.
  size_t maxBytes = kOriginalValueBytes;
};

// The entry with room for a long value (kLongValueBytes).
constexpr SettingKeyInfo LongValue(SettingKeyInfo info) {
  info.maxBytes = kLongValueBytes;
  return info;
}

// How many numbered keys a scope has: channels and setting sets 1..8, log
// columns 1..5, streams 1..16; 0 for global keys.
int ScopeCount(KeyScope scope);

std::span<const SettingKeyInfo> SettingCatalogue();

// The catalogue entry of a full key ("NumRec", "DeviceName_3"), found
// without regard to case; `number` receives the key's number (0 for global
// keys). nullptr for a key the program does not know.
const SettingKeyInfo* FindSettingKey(std::string_view key, int* number = nullptr);

// The bytes a value of `key` may hold: the catalogue's maxBytes, else
// kOriginalValueBytes for a key the catalogue does not know.
size_t SettingValueLimit(std::string_view key);

// The default text of a full key; "" for unknown keys and for keys whose
// default is a window's current value.
std::string SettingDefault(std::string_view key);

// "DeviceName_" and channel index 2 give "DeviceName_3".
std::string ChannelKey(std::string_view stem, int channelIndex);
// "MaxGateLevel_" and set 3 give "MaxGateLevel_3".
std::string SetKey(std::string_view stem, int set);

// Typed reads through the active store with the catalogue's default. A
// stored value that breaks its key's rules is read as UseStoredValue
// (setting_check.h) says: clamped into the range, or the default.
int32_t ReadKeyInt(std::string_view key);
int16_t ReadKeyShort(std::string_view key);
float ReadKeyReal(std::string_view key);
std::string ReadKeyText(std::string_view key);

// The dialogs' rule: the value clamped to the key's range and rounded to its
// pattern ("0" or "0.0"). Keys without a range are returned unchanged.
double ClampToDialogRange(std::string_view key, double value);

// The range of a full key or of a stem ("WaveRate_"), or nullopt.
std::optional<DialogRange> KeyRange(std::string_view keyOrStem);

}  // namespace varn
