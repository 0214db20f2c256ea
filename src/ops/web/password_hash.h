#pragma once
// The web console's passwords: a slow, salted yescrypt hash ("$y$...")
// made and checked by libcrypt, so a stolen users file does not give the
// passwords away cheaply.

#include <string>
#include <string_view>

namespace varn {

// A new hash of `password` with a fresh random salt; empty on failure.
std::string HashPassword(std::string_view password);
// Whether `password` matches `hash` (any method libcrypt knows).
bool PasswordMatches(std::string_view password, const std::string& hash);

}  // namespace varn
