#include "ops/metrics_endpoint.h"

#include <ostream>

#include "ops/prometheus_text.h"
#include "settings/setting_keys.h"

namespace varn {

namespace {

void Tell(EventLog& log, std::ostream* err, const std::string& text) VARN_PROGRAM_THREAD {
  if (err) *err << "varn: " << text << std::endl;
  log.WriteLogLine(text, true);
}

}  // namespace

std::unique_ptr<MetricsEndpoint> MetricsEndpoint::Start(const std::string& cliListen, EventLog& log,
                                                        std::ostream* err) {
  const bool fromCli = !cliListen.empty();
  const std::string listen = fromCli ? cliListen : ReadKeyText(kMetricsListenKey);
  if (listen.empty()) return nullptr;
  const ListenParse parsed = ParseListenAddress(listen);
  const std::string source = fromCli ? "--metrics" : std::string(kMetricsListenKey);
  if (!parsed.address) {
    Tell(log, err, source + " " + parsed.error + "; running without the metrics endpoint");
    return nullptr;
  }
  std::unique_ptr<MetricsEndpoint> endpoint(new MetricsEndpoint(log, *parsed.address));
  MetricsPublisher* publisher = &endpoint->publisher_;
  std::string error;
  endpoint->server_ = MetricsServer::Start(
      *parsed.address, [publisher] { return FormatPrometheusText(publisher->Latest()); }, error);
  if (!endpoint->server_) {
    Tell(log, err, "metrics endpoint: " + error + "; running without it");
    return nullptr;
  }
  if (err)
    *err << "varn: metrics on http://" << endpoint->address_.Text() << "/metrics" << std::endl;
  return endpoint;
}

}  // namespace varn
