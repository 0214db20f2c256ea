#include "settings/number_field.h"

#include "settings/numeric_text.h"
#include "settings/setting_keys.h"
#include "util/text.h"

namespace varn {

int FieldDecimals(std::string_view keyOrStem) {
  const std::optional<DialogRange> range = KeyRange(keyOrStem);
  return range && range->pattern == "0" ? 0 : 1;
}

std::string ShownFieldText(std::string_view key, int decimals) {
  if (decimals == 0) return std::to_string(ReadKeyInt(key));
  return FormatFixed(ReadKeyReal(key), decimals);
}

std::string ShownFieldText(std::string_view key) { return ShownFieldText(key, FieldDecimals(key)); }

std::optional<std::string> StoreFieldValue(std::string_view key, std::string_view text) {
  const std::optional<DialogRange> range = KeyRange(key);
  if (!range) return std::nullopt;
  return StoreNumericValue(text, range->min, range->max, FieldDecimals(key), key);
}

}  // namespace varn
