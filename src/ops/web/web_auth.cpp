#include "ops/web/web_auth.h"

#include <gnutls/crypto.h>

#include <fstream>

#include "ops/web/password_hash.h"

namespace varn {

namespace {

std::chrono::steady_clock::duration Seconds(double s) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(s));
}

}  // namespace

std::optional<UsersFile> LoadUsersFile(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read the users file " + path;
    return std::nullopt;
  }
  UsersFile users;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos || colon + 1 >= line.size() ||
        line[colon + 1] != '$') {
      error = "users file " + path + " line " + std::to_string(number) +
              " is not name:hash (make it with varn passwd NAME)";
      return std::nullopt;
    }
    users.hashes[line.substr(0, colon)] = line.substr(colon + 1);
  }
  if (users.hashes.empty()) {
    error = "users file " + path + " names no user (add one with varn passwd NAME)";
    return std::nullopt;
  }
  return users;
}

std::string WebAuth::CacheKey(std::string_view user, std::string_view password) {
  // Only a digest of the pair is kept, never the password itself.
  std::string text(user);
  text += '\0';
  text += password;
  unsigned char digest[32];
  if (gnutls_hash_fast(GNUTLS_DIG_SHA256, text.data(), text.size(), digest) != 0) return {};
  return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

WebAuth::Verdict WebAuth::Check(const char* user, const char* password, const std::string& address,
                                Clock::time_point now) {
  {
    std::lock_guard lock(mutex_);
    auto f = failures_.find(address);
    if (f != failures_.end()) {
      if (now - f->second.first > Seconds(kAuthFailureWindowSec))
        failures_.erase(f);
      else if (f->second.count >= kAuthFailureLimit)
        return Verdict::Throttled;
    }
  }
  if (!user) return Verdict::Missing;
  const std::string pass = password ? password : "";
  const std::string key = CacheKey(user, pass);
  {
    std::lock_guard lock(mutex_);
    auto v = verified_.find(key);
    if (!key.empty() && v != verified_.end()) {
      if (now < v->second) return Verdict::Allowed;
      verified_.erase(v);
    }
  }
  // The slow hash runs outside the lock: other connections go on meanwhile.
  const auto hash = users_.hashes.find(user);
  const bool ok = hash != users_.hashes.end() && PasswordMatches(pass, hash->second);
  std::lock_guard lock(mutex_);
  if (ok) {
    if (!key.empty()) verified_[key] = now + Seconds(kAuthCacheSec);
    return Verdict::Allowed;
  }
  Failures& f = failures_[address];
  if (f.count == 0) f.first = now;
  ++f.count;
  // Many addresses that fail once each must not grow the table for ever.
  if (failures_.size() > 4096) failures_.clear();
  return Verdict::Wrong;
}

int WebAuth::RetryAfterSec(const std::string& address, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  auto f = failures_.find(address);
  if (f == failures_.end()) return 0;
  const double left =
      kAuthFailureWindowSec - std::chrono::duration<double>(now - f->second.first).count();
  return left > 0 ? static_cast<int>(left) + 1 : 0;
}

}  // namespace varn
