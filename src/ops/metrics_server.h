#pragma once
// The metrics endpoint's HTTP server (libmicrohttpd, one thread of its own):
// GET /metrics answers with the page, any other path 404 and any other
// method on /metrics 405. It reads nothing of the program but what the page
// function returns. One client address holds at most four connections at a
// time, so clients that open many and say nothing cannot keep a scrape from
// another address out.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ops/listen_address.h"

struct MHD_Daemon;

namespace varn {

class MetricsServer {
 public:
  // The body of GET /metrics, called on the server's thread.
  using Page = std::function<std::string()>;

  // Listens on `address` (port 0: any free port). Null, with `error`
  // saying why ("cannot listen on 127.0.0.1:9464: Address already in use"),
  // when it cannot.
  static std::unique_ptr<MetricsServer> Start(const ListenAddress& address, Page page,
                                              std::string& error);
  // Stops the thread and closes the socket.
  ~MetricsServer();
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  uint16_t Port() const { return port_; }
  // What a scrape answers; the server's thread only.
  std::string RenderPage() const { return page_(); }

 private:
  MetricsServer(Page page) : page_(std::move(page)) {}

  Page page_;
  MHD_Daemon* daemon_ = nullptr;
  uint16_t port_ = 0;
};

}  // namespace varn
