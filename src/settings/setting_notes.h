#pragma once
// What each setting of the catalogue means to the operator: its unit and one
// line of meaning, for `varn config describe` and the README's settings
// reference. Kept beside the catalogue rather than in it: the catalogue
// says what the program accepts, these say what it does with it.

#include <string_view>

namespace varn {

struct SettingNotes {
  std::string_view name;  // the catalogue's name: the key, or the stem ending in "_"
  std::string_view unit;  // "" for none
  std::string_view meaning;
};

// The notes of a catalogue name ("NumRec", "DeviceName_"), or nullptr.
const SettingNotes* FindSettingNotes(std::string_view name);

}  // namespace varn
