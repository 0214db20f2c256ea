#pragma once
// The metrics endpoint as a runner starts it: the address from --metrics,
// else from the MetricsListen setting (empty: no endpoint), the publisher
// hearing the log and the engine, and the HTTP server serving what it
// publishes. A runner without an endpoint has no thread, no socket and no
// observer.

#include <iosfwd>
#include <memory>
#include <string>

#include "log/event_log.h"
#include "ops/listen_address.h"
#include "ops/metrics_publisher.h"
#include "ops/metrics_server.h"

#include "util/thread_role.h"

namespace varn {

inline constexpr std::string_view kMetricsListenKey = "MetricsListen";

class MetricsEndpoint {
 public:
  // `cliListen`: the --metrics value ("" when not given), already checked.
  // Null when no endpoint is configured, or when the address is bad or
  // cannot be listened on: that is said on `err` (may be null) and in the
  // diagnostics file, and the program runs on without it.
  static std::unique_ptr<MetricsEndpoint> Start(const std::string& cliListen, EventLog& log,
                                                std::ostream* err) VARN_PROGRAM_THREAD;

  // What the engine tells, for EngineServices::observer.
  TickObserver* Observer() { return &publisher_; }
  const ListenAddress& Address() const { return address_; }
  uint16_t Port() const { return server_->Port(); }

 private:
  MetricsEndpoint(EventLog& log, ListenAddress address) : publisher_(log), address_(address) {}

  MetricsPublisher publisher_;
  ListenAddress address_;
  std::unique_ptr<MetricsServer> server_;  // stopped before the publisher goes
};

}  // namespace varn
