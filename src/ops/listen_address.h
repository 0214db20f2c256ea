#pragma once
// Where the metrics endpoint listens, as the operator writes it: "PORT"
// (loopback), "ADDR:PORT" with a numeric IPv4 address or "localhost", or
// "[ADDR]:PORT" with an IPv6 address ("[::1]:9464").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varn {

inline constexpr std::string_view kDefaultListenHost = "127.0.0.1";

struct ListenAddress {
  std::string host;  // numeric, without brackets
  uint16_t port = 0;
  bool ipv6 = false;
  // "127.0.0.1:9464" or "[::1]:9464".
  std::string Text() const;
};

struct ListenParse {
  std::optional<ListenAddress> address;
  std::string error;  // what is wrong, when there is no address
};

ListenParse ParseListenAddress(std::string_view text);

}  // namespace varn
