#include "ops/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varn {

namespace {

MHD_Result AnswerRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                         const char* /*version*/, const char* /*uploadData*/,
                         size_t* /*uploadSize*/, void** /*connectionState*/) {
  const auto* server = static_cast<const HttpServer*>(cls);
  return server->Answer(connection, url, method) == MHD_YES ? MHD_YES : MHD_NO;
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
  if (bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || listen(fd, 64) != 0) {
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

int QueueReply(MHD_Connection* connection, unsigned status, std::string_view body,
               std::string_view contentType) {
  MHD_Response* response = MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, std::string(contentType).c_str());
  const MHD_Result result = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return result;
}

std::unique_ptr<HttpServer> HttpServer::Start(const ListenAddress& address,
                                              const HttpServerOptions& options, Handler handler,
                                              std::string& error) {
  const bool tls = !options.tlsCert.empty() && !options.tlsKey.empty();
  if (tls && MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
    error = "this libmicrohttpd cannot serve HTTPS";
    return nullptr;
  }
  const int fd = Listen(address, error);
  if (fd < 0) return nullptr;
  std::unique_ptr<HttpServer> server(new HttpServer(std::move(handler)));
  server->port_ = BoundPort(fd);
  unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD;
  if (address.ipv6) flags |= MHD_USE_IPv6;
  if (tls) flags |= MHD_USE_TLS;
  const HttpLimits& l = options.limits;
  MHD_OptionItem tlsOptions[] = {{tls ? MHD_OPTION_HTTPS_MEM_CERT : MHD_OPTION_END, 0,
                                  const_cast<char*>(options.tlsCert.c_str())},
                                 {tls ? MHD_OPTION_HTTPS_MEM_KEY : MHD_OPTION_END, 0,
                                  const_cast<char*>(options.tlsKey.c_str())},
                                 {MHD_OPTION_END, 0, nullptr}};
  server->daemon_ = MHD_start_daemon(
      flags, 0, nullptr, nullptr, &AnswerRequest, server.get(), MHD_OPTION_LISTEN_SOCKET, fd,
      MHD_OPTION_CONNECTION_LIMIT, l.connections, MHD_OPTION_PER_IP_CONNECTION_LIMIT, l.perAddress,
      MHD_OPTION_CONNECTION_TIMEOUT, l.idleTimeoutSec, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
      l.requestBytes, MHD_OPTION_ARRAY, tlsOptions, MHD_OPTION_END);
  if (!server->daemon_) {
    close(fd);
    error = "cannot start the HTTP server on " + address.Text();
    if (tls) error += " (the TLS certificate or key was refused)";
    return nullptr;
  }
  return server;
}

HttpServer::~HttpServer() {
  if (daemon_) MHD_stop_daemon(daemon_);
}

}  // namespace varn
