#include "audio/stream/stream_title.h"

namespace varn {

std::optional<std::string> IcyStreamTitle(std::string_view block) {
  constexpr std::string_view kKey = "StreamTitle='";
  const size_t at = block.find(kKey);
  if (at == std::string_view::npos) return std::nullopt;
  const size_t begin = at + kKey.size();
  // The value ends at "';" (a title may hold a lone quote), else at the
  // last quote, else at the end of the block.
  size_t end = block.find("';", begin);
  if (end == std::string_view::npos) end = block.rfind('\'');
  if (end == std::string_view::npos || end < begin) end = block.size();
  return std::string(block.substr(begin, end - begin));
}

namespace {

// The length of the valid UTF-8 sequence at `s[i]`, or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  size_t n = 0;
  unsigned min = 0;
  unsigned code = 0;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    n = 2, min = 0x80, code = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, min = 0x800, code = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, code = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string CleanStreamTitle(std::string_view text) {
  std::string out;
  size_t chars = 0;
  for (size_t i = 0; i < text.size() && chars < kStreamTitleChars; ++chars) {
    const size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else if (n == 1) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

}  // namespace varn
