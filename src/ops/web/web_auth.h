#pragma once
// Who may use the listener: the users of HttpUsersFile ("name:hash" a
// line, made by `varn passwd NAME`), asked for by HTTP Basic. A name and
// password that matched are remembered for kAuthCacheSec, so the slow hash
// runs once and not for every request of a page; an address that fails
// kAuthFailureLimit times within kAuthFailureWindowSec is refused (429)
// until the window has passed, so passwords cannot be tried quickly.

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace varn {

inline constexpr double kAuthCacheSec = 300.0;
inline constexpr int kAuthFailureLimit = 10;
inline constexpr double kAuthFailureWindowSec = 60.0;

struct UsersFile {
  std::map<std::string, std::string> hashes;  // name -> hash
};

// Reads a users file; empty, with `error` naming the file and what is
// wrong (a line without "name:hash" says its number), when it cannot be used.
std::optional<UsersFile> LoadUsersFile(const std::string& path, std::string& error);

class WebAuth {
 public:
  explicit WebAuth(UsersFile users) : users_(std::move(users)) {}

  enum class Verdict { Allowed, Missing, Wrong, Throttled };
  using Clock = std::chrono::steady_clock;

  // Any connection's thread. `user` and `password` from the request (null
  // user: none given), `address` the client's.
  Verdict Check(const char* user, const char* password, const std::string& address,
                Clock::time_point now = Clock::now());
  // Seconds until a throttled address may try again.
  int RetryAfterSec(const std::string& address, Clock::time_point now = Clock::now());

 private:
  struct Failures {
    int count = 0;
    Clock::time_point first;
  };
  static std::string CacheKey(std::string_view user, std::string_view password);

  const UsersFile users_;
  std::mutex mutex_;
  std::map<std::string, Clock::time_point> verified_;  // key -> until
  std::map<std::string, Failures> failures_;           // address -> failures
};

}  // namespace varn
