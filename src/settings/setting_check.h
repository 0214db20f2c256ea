#pragma once
// What may be stored under a key, by the catalogue's rules: its range and
// pattern, its fixed list of values, or at least its kind, and its length.
// The command line stores only what passes; where the dialogs clamp a number
// into its range, the command line refuses instead, so a script never has
// its value changed behind its back.
//
// The same rules judge a value already stored (a hand-edited file): one
// that fails is not used as it stands, and UseStoredValue says what is used
// in its place, so the program, `config get` and the check of the settings
// file all tell the same value.

#include <functional>
#include <string>
#include <string_view>

namespace varn {

// A catalogue key whose number (channel, set, column) is one the program
// uses: "NumRec", "DeviceName_8"; not "DeviceName_9" or "NoSuchKey".
bool IsKnownSetting(std::string_view key);

struct SettingCheck {
  bool ok = false;
  std::string stored;   // what to store: the value, a one-decimal number rounded
  std::string message;  // why not: "NumRec must be a whole number from 1 to 8"
  std::string rule;     // what it must be: "a whole number from 1 to 8"
};

SettingCheck CheckSettingValue(std::string_view key, std::string_view value);

// A check of a value for a key: the catalogue's (CheckSettingValue), or one
// a higher layer widens with rules of its own (the metrics address).
using SettingRule = std::function<SettingCheck(std::string_view key, std::string_view value)>;

// "" when `value` fits the bytes `key` may hold, else why not:
// "EventCommand holds at most 4096 bytes; this value has 5000".
std::string LengthRefusal(std::string_view key, std::string_view value);

struct SettingUse {
  bool usable = true;
  std::string used;     // the text the program reads
  std::string problem;  // when not usable: "is not a whole number from 1 to 8"
};

// How the program reads the stored text of a known key: as it stands when
// it passes `rule`; otherwise a number is rounded and clamped into the
// key's range as the dialogs would, a number near a listed value takes that
// value, and anything else gives the key's default. A key the catalogue
// does not know is read as it stands.
SettingUse UseStoredValue(std::string_view key, std::string_view stored,
                          const SettingRule& rule = CheckSettingValue);

// UseStoredValue(...).used: what the typed reads convert.
std::string UsableSettingText(std::string_view key, std::string_view stored);

}  // namespace varn
