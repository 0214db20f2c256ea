#pragma once
// A minimal HTTP/1.0 client for tests of the metrics endpoint and of the
// Prometheus server that scrapes it, and free ports to put them on.

#include <cstdint>
#include <string>

namespace varn::test {

struct HttpReply {
  int status = 0;  // 0: nothing answered
  std::string headers;
  std::string body;
};

// One request to host:port (numeric IPv4 or IPv6), read until the server
// closes the connection.
HttpReply HttpRequest(const std::string& host, uint16_t port, const std::string& method,
                      const std::string& path, double timeoutSec = 5.0);
// The same, sent from the local address `from` ("" for any).
HttpReply HttpRequestFrom(const std::string& from, const std::string& host, uint16_t port,
                          const std::string& method, const std::string& path,
                          double timeoutSec = 5.0);
inline HttpReply HttpGet(uint16_t port, const std::string& path) {
  return HttpRequest("127.0.0.1", port, "GET", path);
}

// A client that connects from `from` to host:port, sends the first line of
// a request and then nothing more, as a slow or hostile client does. Its
// socket, for the caller to close; -1 when it could not connect.
int OpenSlowConnection(const std::string& from, const std::string& host, uint16_t port);

// A loopback TCP port nothing listened on a moment ago.
uint16_t FreeTcpPort();

}  // namespace varn::test
