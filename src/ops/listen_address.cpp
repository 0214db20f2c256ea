#include "ops/listen_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>

namespace varn {

namespace {

std::optional<uint16_t> ParsePort(std::string_view text) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || value < 1 || value > 65535)
    return std::nullopt;
  return static_cast<uint16_t>(value);
}

ListenParse Fail(std::string_view text, std::string_view why) {
  return ListenParse{std::nullopt, "\"" + std::string(text) + "\": " + std::string(why)};
}

}  // namespace

std::string ListenAddress::Text() const {
  const std::string p = std::to_string(port);
  return ipv6 ? "[" + host + "]:" + p : host + ":" + p;
}

ListenParse ParseListenAddress(std::string_view text) {
  constexpr std::string_view kForm = "expected PORT, ADDR:PORT or [IPv6]:PORT";
  constexpr std::string_view kBadPort = "the port must be a number from 1 to 65535";
  ListenAddress a;
  std::string_view portText;
  if (text.find(':') == std::string_view::npos) {
    a.host = kDefaultListenHost;
    portText = text;
    if (text.empty()) return Fail(text, kForm);
  } else if (text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return Fail(text, kForm);
    a.host = std::string(text.substr(1, close - 1));
    a.ipv6 = true;
    in6_addr v6{};
    if (inet_pton(AF_INET6, a.host.c_str(), &v6) != 1)
      return Fail(text, "not a numeric IPv6 address");
    portText = text.substr(close + 2);
  } else {
    const size_t colon = text.rfind(':');
    if (text.find(':') != colon)
      return Fail(text, "an IPv6 address goes in brackets, as in [::1]:PORT");
    a.host = std::string(text.substr(0, colon));
    if (a.host == "localhost") a.host = kDefaultListenHost;
    in_addr v4{};
    if (inet_pton(AF_INET, a.host.c_str(), &v4) != 1)
      return Fail(text, "not a numeric IPv4 address (or localhost)");
    portText = text.substr(colon + 1);
  }
  const std::optional<uint16_t> port = ParsePort(portText);
  if (!port) return Fail(text, kBadPort);
  a.port = *port;
  return ListenParse{std::move(a), {}};
}

}  // namespace varn
