#pragma once
// The HTTP listener of the metrics and the web console (libmicrohttpd).
// Every connection has a thread of its own, so a client that reads slowly
// (or a live stream that waits for the next snapshot) holds up nobody but
// itself; the limits below keep the threads few. It reads nothing of the
// program: the handler answers from published snapshots and files.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ops/listen_address.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace varn {

struct HttpLimits {
  unsigned connections = 128;  // in total
  // One address (a scanner, a stuck client) holds at most this many, so a
  // scrape from another address still gets in.
  unsigned perAddress = 16;
  unsigned idleTimeoutSec = 15;  // a connection that says nothing this long is closed
  size_t requestBytes = 16384;   // the request line and headers together
};

struct HttpServerOptions {
  HttpLimits limits;
  // PEM texts; both set: HTTPS.
  std::string tlsCert;
  std::string tlsKey;
};

class HttpServer {
 public:
  // Answers one request on the connection's thread: queues a response and
  // returns what MHD_queue_response returned. `url` is the decoded path.
  using Handler =
      std::function<int(MHD_Connection* connection, std::string_view url, std::string_view method)>;

  // Listens on `address` (port 0: any free port). Null, with `error`
  // saying why ("cannot listen on 127.0.0.1:9464: Address already in use"),
  // when it cannot.
  static std::unique_ptr<HttpServer> Start(const ListenAddress& address,
                                           const HttpServerOptions& options, Handler handler,
                                           std::string& error);
  // Stops every thread and closes the socket.
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  uint16_t Port() const { return port_; }
  int Answer(MHD_Connection* connection, std::string_view url, std::string_view method) const {
    return handler_(connection, url, method);
  }

 private:
  explicit HttpServer(Handler handler) : handler_(std::move(handler)) {}

  Handler handler_;
  MHD_Daemon* daemon_ = nullptr;
  uint16_t port_ = 0;
};

// Queues a whole answer held in memory (copied).
int QueueReply(MHD_Connection* connection, unsigned status, std::string_view body,
               std::string_view contentType);

}  // namespace varn
