#pragma once
// One number field of a settings dialog: its captions and the key it edits
// (a full key, or a stem that takes a set number). Its range and decimals
// are the key's own, from the catalogue.

#include <optional>
#include <string>
#include <string_view>

namespace varn {

struct NumberField {
  const char* label;  // painted left of the field
  const char* unit;   // painted right of it; "" for none
  std::string_view key;
};

// The catalogue's decimals of a key or stem: 0 for "0", 1 for "0.0".
int FieldDecimals(std::string_view keyOrStem);

// The stored value of `key` as the field shows it: integer text for whole
// numbers, else the real with `decimals` digits.
std::string ShownFieldText(std::string_view key, int decimals);
// The same with the key's own decimals.
std::string ShownFieldText(std::string_view key);

// The dialogs' rule for `key` (a full key): text that is not a number stores
// nothing; a number is clamped to the key's range, rounded to its decimals
// and stored. Returns what was stored.
std::optional<std::string> StoreFieldValue(std::string_view key, std::string_view text);

}  // namespace varn
