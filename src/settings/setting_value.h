#pragma once
// Typed reads of settings. Every value is stored as text; a reader converts
// it to the type it needs. Text that does not convert (a hand-edited "abc",
// a number out of range) gives the default instead: a bad setting must never
// stop the program.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varn {

// Conversions with the program's rules: reals to integers round halves to
// even; nullopt when the text is not a number or does not fit.
std::optional<int32_t> TextToInt(std::string_view text);
std::optional<int16_t> TextToShort(std::string_view text);
std::optional<float> TextToReal(std::string_view text);

// Reads through the active store, with the default written as text.
int32_t ReadIntSetting(std::string_view key, int32_t defaultValue);
int16_t ReadShortSetting(std::string_view key, int16_t defaultValue);
float ReadRealSetting(std::string_view key, float defaultValue);
std::string ReadTextSetting(std::string_view key, std::string_view defaultValue);

}  // namespace varn
