#pragma once
// The network streams the catalogue lists as input devices: keys Stream_1
// to Stream_16, each "NAME|URL". Only http and https are taken; anything
// else (file, ftp, a bare path) is refused by name, so a hand-edited key
// never makes the program read local files.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varn {

inline constexpr int kStreamKeyCount = 16;
inline constexpr int kStreamBufferMsDefault = 2000;

struct StreamSetting {
  std::string name;  // the device name the catalogue lists
  std::string url;   // http:// or https://
};

struct StreamSettingParse {
  std::optional<StreamSetting> stream;  // set when the text is a usable stream
  std::string problem;                  // why not, when the text is not empty
};

// Reads "NAME|URL" (blanks around either part ignored). Empty text is no
// stream and no problem.
StreamSettingParse ParseStreamSetting(std::string_view text);

// "" when `url` is an http or https URL with a host, else why not, naming
// the scheme: "the scheme \"file\" is refused: a stream must be http:// or
// https://".
std::string StreamUrlRefusal(std::string_view url);

// Every configured stream in key order, through the active store; a key
// whose text is refused is skipped and its problem added to `problems`
// ("Stream_3: ...").
std::vector<StreamSetting> ReadStreamSettings(std::vector<std::string>* problems = nullptr);

// True when a Stream_ key names `deviceName` (case ignored), even one whose
// URL is refused: such a line never records another device in its place.
bool NamesStream(std::string_view deviceName);

}  // namespace varn
