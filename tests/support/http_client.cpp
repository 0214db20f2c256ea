#include "support/http_client.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace varn::test {

namespace {

addrinfo* NumericAddress(const std::string& host, uint16_t port) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return nullptr;
  return found;
}

// A connected socket to host:port, from the local address `from` when one
// is given; -1 when it cannot be had.
int Connect(const std::string& from, const std::string& host, uint16_t port) {
  addrinfo* to = NumericAddress(host, port);
  if (!to) return -1;
  int fd = socket(to->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool ok = fd >= 0;
  if (ok && !from.empty()) {
    addrinfo* local = NumericAddress(from, 0);
    ok = local && bind(fd, local->ai_addr, local->ai_addrlen) == 0;
    if (local) freeaddrinfo(local);
  }
  ok = ok && connect(fd, to->ai_addr, to->ai_addrlen) == 0;
  freeaddrinfo(to);
  if (!ok && fd >= 0) {
    close(fd);
    fd = -1;
  }
  return fd;
}

}  // namespace

HttpReply HttpRequest(const std::string& host, uint16_t port, const std::string& method,
                      const std::string& path, double timeoutSec) {
  return HttpRequestFrom("", host, port, method, path, timeoutSec);
}

int OpenSlowConnection(const std::string& from, const std::string& host, uint16_t port) {
  const int fd = Connect(from, host, port);
  const std::string start = "GET /metrics HTTP/1.1\r\n";
  if (fd >= 0 && send(fd, start.data(), start.size(), MSG_NOSIGNAL) < 0) {
    close(fd);
    return -1;
  }
  return fd;
}

HttpReply HttpRequestFrom(const std::string& from, const std::string& host, uint16_t port,
                          const std::string& method, const std::string& path, double timeoutSec) {
  HttpReply reply;
  const int fd = Connect(from, host, port);
  if (fd < 0) return reply;
  const std::string request =
      method + " " + path + " HTTP/1.0\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    close(fd);
    return reply;
  }
  std::string raw;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSec);
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    raw.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  const size_t headEnd = raw.find("\r\n\r\n");
  const size_t space = raw.find(' ');
  if (headEnd == std::string::npos || space == std::string::npos) return reply;
  reply.status = std::atoi(raw.c_str() + space + 1);
  reply.headers = raw.substr(0, headEnd);
  reply.body = raw.substr(headEnd + 4);
  return reply;
}

uint16_t FreeTcpPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

}  // namespace varn::test
