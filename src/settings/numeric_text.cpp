#include "settings/numeric_text.h"

#include "settings/settings_store.h"
#include "util/text.h"

namespace varn {

std::string NarrowNumberText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    // U+FF0B '＋' to U+FF19 '９' are EF BC 8B .. EF BC 99 in UTF-8.
    if (i + 2 < text.size() && b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0x8B && b(2) <= 0x99) {
      out.push_back(static_cast<char>('+' + (b(2) - 0x8B)));
      i += 2;
      continue;
    }
    // U+2212 '−', the minus sign some input methods give.
    if (i + 2 < text.size() && b(0) == 0xE2 && b(1) == 0x88 && b(2) == 0x92) {
      out.push_back('-');
      i += 2;
      continue;
    }
    // U+3000, the ideographic blank.
    if (i + 2 < text.size() && b(0) == 0xE3 && b(1) == 0x80 && b(2) == 0x80) {
      out.push_back(' ');
      i += 2;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

std::optional<float> NumericFieldValue(std::string_view text) {
  const std::optional<double> v = ParseNumber(NarrowNumberText(text));
  if (!v) return std::nullopt;
  return static_cast<float>(*v);
}

std::optional<std::string> ClampedNumericText(std::string_view text, double minimum, double maximum,
                                              int decimals) {
  std::optional<float> v = NumericFieldValue(text);
  if (!v) return std::nullopt;
  const float lo = static_cast<float>(minimum);
  const float hi = static_cast<float>(maximum);
  if (!(*v >= lo)) *v = lo;
  if (*v > hi) *v = hi;
  std::string formatted = FormatFixed(*v, decimals < 0 ? 0 : decimals);
  // A small negative value rounds to "-0.0"; the operator means zero.
  if (formatted.front() == '-' && formatted.find_first_not_of("-0.") == std::string::npos)
    formatted.erase(0, 1);
  return formatted;
}

std::optional<std::string> StoreNumericValue(std::string_view text, double minimum, double maximum,
                                             int decimals, std::string_view key) {
  std::optional<std::string> stored = ClampedNumericText(text, minimum, maximum, decimals);
  if (stored) WriteSetting(key, *stored);
  return stored;
}

}  // namespace varn
