#include "settings/stream_setting.h"

#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "util/text.h"

namespace varn {

namespace {

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

}  // namespace

std::string StreamUrlRefusal(std::string_view url) {
  for (const char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f)
      return "a stream URL cannot hold blanks or control characters";
  }
  const size_t colon = url.find(':');
  size_t schemeEnd = 0;
  while (schemeEnd < url.size() && IsSchemeChar(url[schemeEnd])) ++schemeEnd;
  if (colon == std::string_view::npos || colon == 0 || schemeEnd != colon)
    return "\"" + std::string(url.substr(0, 64)) +
           "\" has no scheme: a stream must be http:// or https://";
  const std::string scheme = ToLowerAscii(url.substr(0, colon));
  if (scheme != "http" && scheme != "https")
    return "the scheme \"" + scheme + "\" is refused: a stream must be http:// or https://";
  const std::string_view rest = url.substr(colon + 1);
  if (rest.size() < 3 || rest.substr(0, 2) != "//" || rest[2] == '/')
    return "\"" + std::string(url.substr(0, 64)) + "\" names no host";
  return "";
}

StreamSettingParse ParseStreamSetting(std::string_view text) {
  StreamSettingParse result;
  const std::string trimmed = TrimBlanks(text);
  if (trimmed.empty()) return result;
  const size_t bar = trimmed.find('|');
  if (bar == std::string::npos) {
    result.problem = "a stream is written NAME|URL";
    return result;
  }
  StreamSetting s{TrimBlanks(std::string_view(trimmed).substr(0, bar)),
                  TrimBlanks(std::string_view(trimmed).substr(bar + 1))};
  if (s.name.empty()) {
    result.problem = "a stream needs a name before the \"|\"";
    return result;
  }
  if (std::string why = StreamUrlRefusal(s.url); !why.empty()) {
    result.problem = std::move(why);
    return result;
  }
  result.stream = std::move(s);
  return result;
}

std::vector<StreamSetting> ReadStreamSettings(std::vector<std::string>* problems) {
  std::vector<StreamSetting> streams;
  for (int i = 1; i <= kStreamKeyCount; ++i) {
    const std::string key = "Stream_" + std::to_string(i);
    // The raw text: the key's check would put the default (none) in place
    // of a refused one, and the refusal is worth telling.
    StreamSettingParse parse = ParseStreamSetting(ReadSetting(key, ""));
    if (parse.stream) {
      streams.push_back(std::move(*parse.stream));
    } else if (!parse.problem.empty() && problems) {
      problems->push_back(key + ": " + parse.problem);
    }
  }
  return streams;
}

bool NamesStream(std::string_view deviceName) {
  const std::string wanted = TrimBlanks(deviceName);
  if (wanted.empty()) return false;
  for (int i = 1; i <= kStreamKeyCount; ++i) {
    const std::string text = ReadSetting("Stream_" + std::to_string(i), "");
    const size_t bar = text.find('|');
    if (bar != std::string::npos && EqualsIgnoreCase(TrimBlanks(text.substr(0, bar)), wanted))
      return true;
  }
  return false;
}

}  // namespace varn
