#pragma once
// The metrics alone on a listener of their own: GET /metrics answers with
// the page, any other path 404 and any other method on /metrics 405. The
// runners serve the metrics through the web console's site (which answers
// /metrics the same way); this stands by itself for a port taken in tests.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ops/http_server.h"
#include "ops/listen_address.h"

namespace varn {

class MetricsServer {
 public:
  // The body of GET /metrics, called on a connection's thread.
  using Page = std::function<std::string()>;

  // Listens on `address` (port 0: any free port). Null, with `error`
  // saying why, when it cannot.
  static std::unique_ptr<MetricsServer> Start(const ListenAddress& address, Page page,
                                              std::string& error);

  uint16_t Port() const { return http_->Port(); }

 private:
  std::unique_ptr<HttpServer> http_;
};

// The answer to a request for /metrics; `page` is built only for a GET.
int AnswerMetrics(MHD_Connection* connection, std::string_view method,
                  const std::function<std::string()>& page);

}  // namespace varn
