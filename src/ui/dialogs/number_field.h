#pragma once
// One number field of a settings dialog: its captions, the key it edits (a
// full key, or a stem that takes a set number), and how it is stored.

#include <string>
#include <string_view>

namespace varn {

struct NumberField {
  const char* label;  // painted left of the field
  const char* unit;   // painted right of it; "" for none
  std::string_view key;
  int decimals;  // 0 "0", 1 "0.0"
  double minimum;
  double maximum;
};

// The stored value of `key` as the field shows it: integer text for whole
// numbers, else the real with `decimals` digits.
std::string ShownFieldText(std::string_view key, int decimals);

}  // namespace varn
