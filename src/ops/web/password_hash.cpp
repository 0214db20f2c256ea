#include "ops/web/password_hash.h"

#include <crypt.h>

#include <cstring>
#include <memory>

namespace varn {

std::string HashPassword(std::string_view password) {
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  // Null entropy: libcrypt takes the salt from the system's random source.
  if (!crypt_gensalt_rn("$y$", 0, nullptr, 0, salt, sizeof salt)) return {};
  auto data = std::make_unique<crypt_data>();
  const char* hash = crypt_r(std::string(password).c_str(), salt, data.get());
  if (!hash || hash[0] == '*') return {};
  return hash;
}

bool PasswordMatches(std::string_view password, const std::string& hash) {
  if (hash.empty() || hash[0] != '$') return false;
  auto data = std::make_unique<crypt_data>();
  const char* result = crypt_r(std::string(password).c_str(), hash.c_str(), data.get());
  if (!result || result[0] == '*') return false;
  // The same length always: the hashes are compared without an early end.
  const size_t n = std::strlen(result);
  if (n != hash.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < n; ++i) diff |= static_cast<unsigned char>(result[i] ^ hash[i]);
  return diff == 0;
}

}  // namespace varn
