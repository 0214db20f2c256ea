#pragma once
// Sample-format codes shared by the settings (RecMode_), capture, the WAV
// reader and the encoder's bit-rate probe.

#include <optional>
#include <string>

namespace varn {

enum FormatCode : int {
  kMono8 = 0,
  kStereo8 = 1,
  kMono16 = 2,
  kStereo16 = 3,
  kMono24 = 4,
  kStereo24 = 5,
  kSurround51_16 = 6,
  kSurround71_16 = 7,
  kSurround51_24 = 8,
  kSurround71_24 = 9,
};

// "Mono8bit" ... "Surround 7.1 24bit"; "" for any other code.
std::string FormatName(int code);

struct ChannelsAndBits {
  int channels = 0;
  int bits = 0;
};
// Channel count and bits of a code; {0, 0} for an unknown code.
ChannelsAndBits FormatLayout(int code);
// The code of a channel count and sample size, or nullopt when there is none.
std::optional<int> FormatCodeFor(int channels, int bits);

}  // namespace varn
