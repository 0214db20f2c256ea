#pragma once
// What the listener answers: /metrics, the console's pages (/, /line/N,
// /events) and its read-only API (/api/v1/status, /api/v1/events,
// /api/v1/live, /api/v1/archive, /api/v1/extract, /archive/chN/FILE), after the gate of who may
// ask. No request changes anything in the program.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ops/web/archive_routes.h"
#include "ops/web/live_hub.h"
#include "ops/web/web_auth.h"

struct MHD_Connection;

namespace varn {

struct WebAccess {
  bool beyondLoopback = false;    // the listener's address is not a loopback one
  bool open = false;              // HttpOpen: the console beyond loopback without users
  std::unique_ptr<WebAuth> auth;  // HttpUsersFile's users; null: none asked
};

class WebSite {
 public:
  WebSite(LiveHub& hub, std::function<std::string()> metricsPage, WebAccess access)
      : hub_(hub), metricsPage_(std::move(metricsPage)), access_(std::move(access)) {}

  // Any connection's thread.
  int Answer(MHD_Connection* connection, std::string_view url, std::string_view method);

 private:
  int Route(MHD_Connection* connection, std::string_view url);
  int Events(MHD_Connection* connection);
  int Live(MHD_Connection* connection);

  LiveHub& hub_;
  std::function<std::string()> metricsPage_;
  WebAccess access_;
  ArchiveRoutes archive_;
};

// A client address as text ("127.0.0.1", "::1").
std::string ClientAddress(MHD_Connection* connection);

}  // namespace varn
