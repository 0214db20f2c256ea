#include "settings/setting_value.h"

#include <cmath>
#include <limits>

#include "settings/settings_store.h"
#include "util/numeric.h"
#include "util/text.h"

namespace varn {

std::optional<int32_t> TextToInt(std::string_view text) {
  const auto v = ParseNumber(text);
  return v ? ToInt32(*v) : std::nullopt;
}

std::optional<int16_t> TextToShort(std::string_view text) {
  const auto v = ParseNumber(text);
  return v ? ToInt16(*v) : std::nullopt;
}

std::optional<float> TextToReal(std::string_view text) {
  const auto v = ParseNumber(text);
  if (!v || std::fabs(*v) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(*v);
}

int32_t ReadIntSetting(std::string_view key, int32_t defaultValue) {
  return TextToInt(ReadSetting(key, std::to_string(defaultValue))).value_or(defaultValue);
}

int16_t ReadShortSetting(std::string_view key, int16_t defaultValue) {
  return TextToShort(ReadSetting(key, std::to_string(defaultValue))).value_or(defaultValue);
}

float ReadRealSetting(std::string_view key, float defaultValue) {
  return TextToReal(ReadSetting(key, ShortestText(defaultValue))).value_or(defaultValue);
}

std::string ReadTextSetting(std::string_view key, std::string_view defaultValue) {
  return ReadSetting(key, defaultValue);
}

}  // namespace varn
