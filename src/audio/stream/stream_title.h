#pragma once
// The now-playing title a stream sends (ICY "StreamTitle", Ogg comments):
// remote text, so it is cut to kStreamTitleChars characters and escaped
// before it goes anywhere.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace varn {

inline constexpr size_t kStreamTitleChars = 256;

// The StreamTitle of an ICY metadata block ("StreamTitle='A - B';
// StreamUrl='';"), or nullopt when the block has none.
std::optional<std::string> IcyStreamTitle(std::string_view block);

// At most kStreamTitleChars UTF-8 characters of `text`; a byte that is not
// valid UTF-8 becomes U+FFFD, control characters become blanks.
std::string CleanStreamTitle(std::string_view text);

}  // namespace varn
