#pragma once
// Whole small text files (settings files): read at once, replaced atomically
// so a crash or a full disk never leaves half a file behind.

#include <optional>
#include <string>

namespace varn {

// nullopt when the file cannot be read or is larger than maxBytes.
std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxBytes = 16u << 20);

// Writes a sibling temporary file, flushes it and renames it over `path`.
// A symbolic link is followed, so the link itself stays in place.
bool ReplaceFileContents(const std::string& path, const std::string& contents);

}  // namespace varn
