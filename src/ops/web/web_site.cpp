#include "ops/web/web_site.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "log/event_file.h"
#include "log/event_kinds.h"
#include "ops/http_server.h"
#include "ops/metrics_server.h"
#include "ops/web/live_stream.h"
#include "ops/web/web_assets.h"
#include "settings/folders.h"

namespace varn {

namespace {

constexpr std::string_view kText = "text/plain; charset=utf-8";
constexpr std::string_view kJson = "application/json";
// Pages load their script and style from here alone.
constexpr const char* kContentPolicy =
    "default-src 'self'; media-src 'self' blob:; img-src 'self' data:; object-src 'none'; "
    "frame-ancestors 'none'";

constexpr std::string_view kClosedPage =
    "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
    "<meta name=\"viewport\" content=\"width=device-width\"><title>varn</title></head><body>"
    "<h1>The web console is closed on this address</h1>"
    "<p>varn listens beyond loopback without a users file, so only <code>/metrics</code> is "
    "served here. To open the console, make a users file and name it in the settings:</p>"
    "<pre>varn passwd NAME &gt;&gt; /etc/varn/users\nvarn config set HttpUsersFile "
    "/etc/varn/users</pre><p>and start varn again. Every path then asks for a name and "
    "password. (<code>HttpOpen=1</code> opens the console without passwords.)</p></body></html>";

int Reply(MHD_Connection* c, unsigned status, std::string_view body, std::string_view type,
          bool cache = false) {
  MHD_Response* r = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()),
                                                    MHD_RESPMEM_MUST_COPY);
  if (!r) return MHD_NO;
  MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, std::string(type).c_str());
  MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, cache ? "max-age=300" : "no-store");
  MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
  MHD_add_response_header(r, "Referrer-Policy", "no-referrer");
  MHD_add_response_header(r, "Content-Security-Policy", kContentPolicy);
  const MHD_Result result = MHD_queue_response(c, status, r);
  MHD_destroy_response(r);
  return result;
}

int Asset(MHD_Connection* c, std::string_view name) {
  const WebAsset* a = FindWebAsset(name);
  if (!a) return Reply(c, MHD_HTTP_NOT_FOUND, "Not found\n", kText);
  return Reply(c, MHD_HTTP_OK, a->bytes, a->contentType, name.ends_with(".html") ? false : true);
}

int BadRequest(MHD_Connection* c, const std::string& what) {
  return Reply(c, MHD_HTTP_BAD_REQUEST, nlohmann::json{{"error", what}}.dump(), kJson);
}

const char* Argument(MHD_Connection* c, const char* name) {
  return MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, name);
}

// "1".."8"; 0 for anything else.
int ChannelNumber(std::string_view text) {
  if (text.size() != 1 || text[0] < '1' || text[0] > '8') return 0;
  return text[0] - '0';
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

bool KnownKind(std::string_view kind) {
  if (kind == "other") return true;
  for (std::string_view k : kEventKinds)
    if (k == kind) return true;
  return false;
}

}  // namespace

std::string ClientAddress(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (!info || !info->client_addr) return {};
  char text[INET6_ADDRSTRLEN] = {};
  const sockaddr* a = info->client_addr;
  if (a->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
  else if (a->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text, sizeof text);
  return text;
}

int WebSite::Answer(MHD_Connection* c, std::string_view url, std::string_view method) {
  if (access_.auth) {
    char* password = nullptr;
    char* user = MHD_basic_auth_get_username_password(c, &password);
    const WebAuth::Verdict verdict = access_.auth->Check(user, password, ClientAddress(c));
    if (password) {
      std::memset(password, 0, std::strlen(password));
      MHD_free(password);
    }
    if (user) MHD_free(user);
    if (verdict == WebAuth::Verdict::Throttled) {
      MHD_Response* r = MHD_create_response_from_buffer(
          18, const_cast<char*>("Too many failures\n"), MHD_RESPMEM_PERSISTENT);
      if (!r) return MHD_NO;
      MHD_add_response_header(
          r, MHD_HTTP_HEADER_RETRY_AFTER,
          std::to_string(access_.auth->RetryAfterSec(ClientAddress(c))).c_str());
      const MHD_Result result = MHD_queue_response(c, MHD_HTTP_TOO_MANY_REQUESTS, r);
      MHD_destroy_response(r);
      return result;
    }
    if (verdict != WebAuth::Verdict::Allowed) {
      constexpr std::string_view kBody = "A name and password are needed\n";
      MHD_Response* r = MHD_create_response_from_buffer(
          kBody.size(), const_cast<char*>(kBody.data()), MHD_RESPMEM_PERSISTENT);
      if (!r) return MHD_NO;
      MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, kText.data());
      const MHD_Result result = MHD_queue_basic_auth_fail_response(c, "varn", r);
      MHD_destroy_response(r);
      return result;
    }
  }
  if (url == "/metrics") return AnswerMetrics(c, method, metricsPage_);
  if (method != MHD_HTTP_METHOD_GET && method != MHD_HTTP_METHOD_HEAD) {
    MHD_Response* r = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    if (!r) return MHD_NO;
    MHD_add_response_header(r, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    const MHD_Result result = MHD_queue_response(c, MHD_HTTP_METHOD_NOT_ALLOWED, r);
    MHD_destroy_response(r);
    return result;
  }
  if (!access_.auth && access_.beyondLoopback && !access_.open)
    return Reply(c, MHD_HTTP_FORBIDDEN, kClosedPage, "text/html; charset=utf-8");
  return Route(c, url);
}

int WebSite::Route(MHD_Connection* c, std::string_view url) {
  if (url == "/") return Asset(c, "index.html");
  if (url == "/events") return Asset(c, "events.html");
  if (url.starts_with("/line/")) {
    const int n = ChannelNumber(url.substr(6));
    const int channels = hub_.Now().channels;
    if (n == 0 || (channels > 0 && n > channels))
      return Reply(c, MHD_HTTP_NOT_FOUND, "Not found\n", kText);
    return Asset(c, "line.html");
  }
  if (url.starts_with("/static/")) {
    const std::string_view name = url.substr(8);
    if (name.ends_with(".html")) return Reply(c, MHD_HTTP_NOT_FOUND, "Not found\n", kText);
    return Asset(c, name);
  }
  if (url == "/api/v1/status") {
    const LiveHub::View v = hub_.Now();
    if (!v.status) return Reply(c, MHD_HTTP_SERVICE_UNAVAILABLE, "{\"error\":\"starting\"}", kJson);
    return Reply(c, MHD_HTTP_OK, *v.status, kJson);
  }
  if (url == "/api/v1/events") return Events(c);
  if (url == "/api/v1/live") return Live(c);
  if (url == "/api/v1/archive" || url == "/api/v1/extract" || url.starts_with("/archive/")) {
    const std::string folder = hub_.Now().dataFolder;
    if (folder.empty())
      return Reply(c, MHD_HTTP_SERVICE_UNAVAILABLE, "{\"error\":\"starting\"}", kJson);
    if (url == "/api/v1/archive") return archive_.List(c, folder);
    if (url == "/api/v1/extract") return archive_.Extract(c, folder);
    return archive_.File(c, url, folder);
  }
  return Reply(c, MHD_HTTP_NOT_FOUND, "Not found\n", kText);
}

int WebSite::Events(MHD_Connection* c) {
  std::string day = Today();
  if (const char* d = Argument(c, "day"); d && *d) {
    day = EventDay(d);
    if (day.empty()) return BadRequest(c, "day must be YYYYMMDD or YYYY-MM-DD");
  }
  int channel = 0;
  if (const char* ch = Argument(c, "channel"); ch && *ch) {
    channel = ChannelNumber(ch);
    if (channel == 0) return BadRequest(c, "channel must be 1 to 8");
  }
  std::string kind;
  if (const char* k = Argument(c, "kind"); k && *k) {
    kind = k;
    if (!KnownKind(kind)) return BadRequest(c, "unknown kind");
  }
  const LiveHub::View v = hub_.Now();
  std::vector<EventFileLine> lines;
  std::vector<std::string> days;
  if (!v.logFolder.empty()) {
    lines = ReadEventFile(v.logFolder + std::string(kAppTitle) + day + v.logExtension);
    days = EventFileDays(v.logFolder, v.logExtension);
  }
  nlohmann::json events = nlohmann::json::array();
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (channel && it->channel != channel - 1) continue;
    if (!kind.empty() && it->kind != kind) continue;
    events.push_back(
        {{"local", it->localTime},
         {"utc", it->utcTime},
         {"channel", it->channel >= 0 ? nlohmann::json(it->channel + 1) : nlohmann::json(nullptr)},
         {"side", it->side == 0 ? nlohmann::json("L")
                                : (it->side == 1 ? nlohmann::json("R") : nlohmann::json(nullptr))},
         {"message", it->message},
         {"kind", it->kind}});
  }
  nlohmann::json kinds = nlohmann::json::array();
  for (std::string_view k : kEventKinds) kinds.push_back(k);
  kinds.push_back("other");
  const nlohmann::json body{{"day", day}, {"days", days}, {"kinds", kinds}, {"events", events}};
  return Reply(c, MHD_HTTP_OK, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
               kJson);
}

int WebSite::Live(MHD_Connection* c) {
  MHD_Response* r = LiveStreamResponse(hub_);
  if (!r) return MHD_NO;
  MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream; charset=utf-8");
  MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
  // A proxy in front must pass each message on at once.
  MHD_add_response_header(r, "X-Accel-Buffering", "no");
  const MHD_Result result = MHD_queue_response(c, MHD_HTTP_OK, r);
  MHD_destroy_response(r);
  return result;
}

}  // namespace varn
