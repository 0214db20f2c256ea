#include "ops/metrics_server.h"

#include <microhttpd.h>

#include "ops/prometheus_text.h"

namespace varn {

int AnswerMetrics(MHD_Connection* connection, std::string_view method,
                  const std::function<std::string()>& page) {
  if (method != MHD_HTTP_METHOD_GET) {
    constexpr std::string_view kBody = "Only GET\n";
    MHD_Response* response = MHD_create_response_from_buffer(
        kBody.size(), const_cast<char*>(kBody.data()), MHD_RESPMEM_PERSISTENT);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, MHD_HTTP_METHOD_GET);
    const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_METHOD_NOT_ALLOWED, response);
    MHD_destroy_response(response);
    return result;
  }
  return QueueReply(connection, MHD_HTTP_OK, page(), kPrometheusContentType);
}

std::unique_ptr<MetricsServer> MetricsServer::Start(const ListenAddress& address, Page page,
                                                    std::string& error) {
  std::unique_ptr<MetricsServer> server(new MetricsServer);
  server->http_ = HttpServer::Start(
      address, HttpServerOptions{},
      [page = std::move(page)](MHD_Connection* c, std::string_view url, std::string_view method) {
        if (url != "/metrics")
          return QueueReply(c, MHD_HTTP_NOT_FOUND, "Not found\n", "text/plain; charset=utf-8");
        return AnswerMetrics(c, method, page);
      },
      error);
  if (!server->http_) return nullptr;
  return server;
}

}  // namespace varn
