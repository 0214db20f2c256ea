#pragma once
// The rule every number field of the settings dialogs follows: text that is
// not a number leaves the stored value alone; a number is clamped to the
// field's range, rounded to its decimals, shown so and stored so.

#include <optional>
#include <string>
#include <string_view>

namespace varn {

// Full-width digits, signs and point, as a Japanese input method types
// them, turned into their ASCII forms; every other character is kept.
std::string NarrowNumberText(std::string_view text);

// The field's text as a single-precision number, or nullopt when it is not
// numeric.
std::optional<float> NumericFieldValue(std::string_view text);

// The stored form: clamped to [minimum, maximum] in single precision and
// formatted with `decimals` digits after the point ("0", "0.0", "0.00"), or
// nullopt when the text is not numeric.
std::optional<std::string> ClampedNumericText(std::string_view text, double minimum, double maximum,
                                              int decimals);

// Writes ClampedNumericText under `key` and returns it; nullopt (and nothing
// written) for text that is not numeric.
std::optional<std::string> StoreNumericValue(std::string_view text, double minimum, double maximum,
                                             int decimals, std::string_view key);

}  // namespace varn
