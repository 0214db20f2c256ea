#pragma once
// What may be stored under a key, by the catalogue's rules: its range and
// pattern, its fixed list of values, or at least its kind, and its length.
// The command line stores only what passes; where the dialogs clamp a number
// into its range, the command line refuses instead, so a script never has
// its value changed behind its back.

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

// "" when `value` fits the bytes `key` may hold, else why not:
// "EventCommand holds at most 4096 bytes; this value has 5000".
std::string LengthRefusal(std::string_view key, std::string_view value);

}  // namespace varn
