#pragma once
// The HTTP listener as a runner starts it: the metrics and the web console
// on one address, from --http or --metrics, else from the HttpListen or
// MetricsListen setting (the same listener under two names; empty: none).
// It brings the metrics publisher and the console's live publisher (both
// hearing the log and the engine), who may ask (HttpUsersFile, HttpOpen)
// and HTTPS (HttpTlsCert, HttpTlsKey). A runner without a listener has no
// thread, no socket and no observer.

#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

#include "engine/tick_timer.h"
#include "log/event_log.h"
#include "ops/http_server.h"
#include "ops/listen_address.h"
#include "ops/metrics_publisher.h"
#include "ops/web/live_hub.h"
#include "ops/web/live_publisher.h"
#include "ops/web/web_site.h"
#include "util/thread_role.h"

namespace varn {

inline constexpr std::string_view kMetricsListenKey = "MetricsListen";
inline constexpr std::string_view kHttpListenKey = "HttpListen";
inline constexpr std::string_view kHttpUsersFileKey = "HttpUsersFile";
inline constexpr std::string_view kHttpOpenKey = "HttpOpen";
inline constexpr std::string_view kHttpTlsCertKey = "HttpTlsCert";
inline constexpr std::string_view kHttpTlsKeyKey = "HttpTlsKey";

class MetricsEndpoint {
 public:
  // `cliListen`: the --http or --metrics value ("" when not given), already
  // checked. Null when no listener is configured, or when the address is
  // bad or cannot be listened on: that is said on `err` (may be null) and
  // in the diagnostics file, and the program runs on without it. A setting
  // that must not be run past (a users file or TLS file that cannot be
  // used, HttpListen and MetricsListen naming different addresses) also
  // gives null, and says what in `fatal`: the program ends with status 2.
  static std::unique_ptr<MetricsEndpoint> Start(const std::string& cliListen, EventLog& log,
                                                std::ostream* err,
                                                std::string* fatal = nullptr) VARN_PROGRAM_THREAD;
  ~MetricsEndpoint();

  // What the engine tells, for EngineServices::observer.
  TickObserver* Observer() { return observers_.Get(); }
  const ListenAddress& Address() const { return address_; }
  uint16_t Port() const { return server_->Port(); }
  LivePublisher& Live() { return live_; }

 private:
  MetricsEndpoint(EventLog& log, ListenAddress address)
      : publisher_(log), live_(log), address_(std::move(address)) {}

  MetricsPublisher publisher_;
  LivePublisher live_;
  TickObservers observers_;
  std::mutex scrape_;  // connections that read the metrics' snapshot, one at a time
  ListenAddress address_;
  std::unique_ptr<LiveHub> hub_;
  std::unique_ptr<WebSite> site_;
  std::unique_ptr<HttpServer> server_;  // stopped before everything it reads
};

// Whether clients reach `address` only from this machine.
bool IsLoopback(const ListenAddress& address);

}  // namespace varn
