#include "ops/metrics_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ops/prometheus_text.h"

namespace varn {

namespace {

constexpr std::string_view kMetricsPath = "/metrics";
// One address (a scanner, a stuck client) holds at most a few connections,
// so however many it opens, a scrape from another address still gets in;
// a connection that says nothing for the timeout is closed.
constexpr unsigned kConnectionLimit = 64;
constexpr unsigned kPerAddressLimit = 4;
constexpr unsigned kConnectionTimeoutSec = 10;

MHD_Result Reply(MHD_Connection* connection, unsigned status, std::string_view body,
                 std::string_view contentType, const char* allow = nullptr) {
  MHD_Response* response = MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, std::string(contentType).c_str());
  if (allow) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow);
  const MHD_Result result = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return result;
}

MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url, const char* method,
                  const char* /*version*/, const char* /*uploadData*/, size_t* /*uploadSize*/,
                  void** /*connectionState*/) {
  const auto* server = static_cast<const MetricsServer*>(cls);
  constexpr std::string_view kText = "text/plain; charset=utf-8";
  if (kMetricsPath != url) return Reply(connection, MHD_HTTP_NOT_FOUND, "Not found\n", kText);
  if (std::string_view(method) != MHD_HTTP_METHOD_GET)
    return Reply(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "Only GET\n", kText, MHD_HTTP_METHOD_GET);
  return Reply(connection, MHD_HTTP_OK, server->RenderPage(), kPrometheusContentType);
}

// A bound, listening socket, or -1 with `error` set.
int Listen(const ListenAddress& address, std::string& error) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  if (address.ipv6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(address.port);
    inet_pton(AF_INET6, address.host.c_str(), &a->sin6_addr);
    length = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&storage);
    a->sin_family = AF_INET;
    a->sin_port = htons(address.port);
    inet_pton(AF_INET, address.host.c_str(), &a->sin_addr);
    length = sizeof *a;
  }
  const int fd = socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = "cannot listen on " + address.Text() + ": " + std::strerror(errno);
    return -1;
  }
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || listen(fd, 16) != 0) {
    error = "cannot listen on " + address.Text() + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

uint16_t BoundPort(int fd) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) return 0;
  if (storage.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

}  // namespace

std::unique_ptr<MetricsServer> MetricsServer::Start(const ListenAddress& address, Page page,
                                                    std::string& error) {
  const int fd = Listen(address, error);
  if (fd < 0) return nullptr;
  std::unique_ptr<MetricsServer> server(new MetricsServer(std::move(page)));
  server->port_ = BoundPort(fd);
  unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD;
  if (address.ipv6) flags |= MHD_USE_IPv6;
  server->daemon_ = MHD_start_daemon(
      flags, 0, nullptr, nullptr, &Answer, server.get(), MHD_OPTION_LISTEN_SOCKET, fd,
      MHD_OPTION_CONNECTION_LIMIT, kConnectionLimit, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
      kPerAddressLimit, MHD_OPTION_CONNECTION_TIMEOUT, kConnectionTimeoutSec, MHD_OPTION_END);
  if (!server->daemon_) {
    close(fd);
    error = "cannot start the HTTP server on " + address.Text();
    return nullptr;
  }
  return server;
}

MetricsServer::~MetricsServer() {
  if (daemon_) MHD_stop_daemon(daemon_);
}

}  // namespace varn
