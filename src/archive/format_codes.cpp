#include "archive/format_codes.h"

#include <array>

namespace varn {

namespace {
struct Entry {
  const char* name;
  int channels;
  int bits;
};
constexpr std::array<Entry, 10> kFormats = {{
    {"Mono8bit", 1, 8},
    {"Stereo8bit", 2, 8},
    {"Mono16bit", 1, 16},
    {"Stereo16bit", 2, 16},
    {"Mono24bit", 1, 24},
    {"Stereo24bit", 2, 24},
    {"Surround 5.1 16bit", 6, 16},
    {"Surround 7.1 16bit", 8, 16},
    {"Surround 5.1 24bit", 6, 24},
    {"Surround 7.1 24bit", 8, 24},
}};
}  // namespace

std::string FormatName(int code) {
  if (code < 0 || code >= static_cast<int>(kFormats.size())) return "";
  return kFormats[static_cast<size_t>(code)].name;
}

ChannelsAndBits FormatLayout(int code) {
  if (code < 0 || code >= static_cast<int>(kFormats.size())) return {};
  const Entry& e = kFormats[static_cast<size_t>(code)];
  return {e.channels, e.bits};
}

std::optional<int> FormatCodeFor(int channels, int bits) {
  for (size_t i = 0; i < kFormats.size(); ++i)
    if (kFormats[i].channels == channels && kFormats[i].bits == bits) return static_cast<int>(i);
  return std::nullopt;
}

}  // namespace varn
