// The endpoint's HTTP server: GET /metrics and nothing else, on the address
// asked for, and a clear refusal when that address cannot be had.

#include "ops/metrics_server.h"

#include <gtest/gtest.h>

#include <atomic>

#include "ops/prometheus_text.h"
#include "support/http_client.h"

namespace varn {
namespace {

std::unique_ptr<MetricsServer> Serve(const std::string& listen, MetricsServer::Page page,
                                     std::string& error) {
  const ListenParse p = ParseListenAddress(listen);
  EXPECT_TRUE(p.address) << p.error;
  ListenAddress a = *p.address;
  return MetricsServer::Start(a, std::move(page), error);
}

TEST(MetricsServerTest, GetMetricsAnswersThePageAndEverythingElseIsRefused) {
  std::atomic<int> pages{0};
  std::string error;
  auto server = Serve(
      "127.0.0.1:" + std::to_string(test::FreeTcpPort()),
      [&] {
        ++pages;
        return std::string("x 1\n");
      },
      error);
  ASSERT_TRUE(server) << error;
  const uint16_t port = server->Port();

  const test::HttpReply ok = test::HttpGet(port, "/metrics");
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body, "x 1\n");
  EXPECT_NE(ok.headers.find(std::string("Content-Type: ") + std::string(kPrometheusContentType)),
            std::string::npos)
      << ok.headers;
  EXPECT_EQ(test::HttpGet(port, "/metrics?name[]=up").status, 200);  // Prometheus's own form

  for (const char* path : {"/", "/metrics/", "/metricsx", "/favicon.ico"})
    EXPECT_EQ(test::HttpGet(port, path).status, 404) << path;
  for (const char* method : {"POST", "PUT", "DELETE", "HEAD"}) {
    const test::HttpReply r = test::HttpRequest("127.0.0.1", port, method, "/metrics");
    EXPECT_EQ(r.status, 405) << method;
    EXPECT_NE(r.headers.find("Allow: GET"), std::string::npos) << r.headers;
  }
  EXPECT_EQ(pages, 2);  // refused requests never build the page
}

TEST(MetricsServerTest, AnIpv6AddressIsListenedOnAsGiven) {
  std::string error;
  auto server = Serve(
      "[::1]:" + std::to_string(test::FreeTcpPort()), [] { return std::string("v6 1\n"); }, error);
  ASSERT_TRUE(server) << error;
  EXPECT_EQ(test::HttpRequest("::1", server->Port(), "GET", "/metrics").body, "v6 1\n");
  EXPECT_EQ(test::HttpGet(server->Port(), "/metrics").status, 0);  // not on IPv4
}

TEST(MetricsServerTest, APortInUseOrAnAddressNotOfThisMachineIsSaidAndNothingRuns) {
  std::string error;
  auto first = Serve(
      "127.0.0.1:" + std::to_string(test::FreeTcpPort()), [] { return std::string(); }, error);
  ASSERT_TRUE(first) << error;
  const std::string taken = "127.0.0.1:" + std::to_string(first->Port());
  EXPECT_FALSE(Serve(
      taken, [] { return std::string(); }, error));
  EXPECT_EQ(error, "cannot listen on " + taken + ": Address already in use");

  EXPECT_FALSE(Serve(
      "192.0.2.1:9464", [] { return std::string(); }, error));  // TEST-NET-1
  EXPECT_EQ(error, "cannot listen on 192.0.2.1:9464: Cannot assign requested address");

  first.reset();  // the port is free again once the server is gone
  EXPECT_TRUE(Serve(
      taken, [] { return std::string(); }, error))
      << error;
}

}  // namespace
}  // namespace varn
