// The metrics endpoint as the runners start it: where it listens (the
// command line over the setting), what it says when it cannot, slow clients
// that must not keep scrapes out, and scrapes over HTTP while the engine
// ticks, which the tsan stage checks for races.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>

#include "engine/engine_fixture.h"
#include "ops/metrics_endpoint.h"
#include "ops/metrics_server.h"
#include "support/http_client.h"
#include "support/text_lines.h"

namespace varn::test {
namespace {

constexpr int kEndpointRate = 8000;

class MetricsEndpointTest : public EngineFixture {
 protected:
  ~MetricsEndpointTest() override {
    engine.reset();
    endpoint.reset();
  }
  bool StartEndpoint(const std::string& cli) {
    endpoint = MetricsEndpoint::Start(cli, log, &err);
    return endpoint != nullptr;
  }
  std::string Port() const { return std::to_string(port); }

  uint16_t port = FreeTcpPort();
  std::ostringstream err;
  std::unique_ptr<MetricsEndpoint> endpoint;
};

TEST_F(MetricsEndpointTest, ScrapesWhileTheEngineTicksReadWholeSnapshots) {
  ASSERT_TRUE(StartEndpoint("127.0.0.1:" + Port())) << err.str();
  EXPECT_EQ(err.str(), "varn: metrics on http://127.0.0.1:" + Port() +
                           "/metrics\nvarn: console on http://127.0.0.1:" + Port() + "/\n");
  observer = endpoint->Observer();
  Build("NumRec=1\nDeviceName_1=Sim Tone 1kHz\nRecFreq_1=8000\nBitRate_1=0\n");
  engine->BeginRunning(true);

  constexpr int kScrapes = 30;
  std::atomic<int> scrapes{0};
  std::vector<double> counts;
  int incomplete = 0;
  std::thread scraper([&] {
    for (; scrapes < kScrapes; ++scrapes) {
      const HttpReply r = HttpGet(port, "/metrics");
      const double count = SeriesValue(r.body, "varn_tick_seconds_count");
      if (r.status != 200 || std::isnan(count) || !r.body.starts_with("# HELP varn_build_info"))
        ++incomplete;
      counts.push_back(count);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  // Another client at the same time, on its own connection's thread: the
  // metrics' snapshot has one reader at a time, the console's status any.
  int otherIncomplete = 0;
  int statuses = 0;
  std::thread other([&] {
    while (scrapes < kScrapes) {
      const HttpReply m = HttpGet(port, "/metrics");
      otherIncomplete += m.status != 200 || !m.body.ends_with("\n");
      statuses += HttpGet(port, "/api/v1/status").status == 200;
    }
  });
  // The engine ticks on (in simulated time, much faster than real time)
  // until the scrapes are done.
  for (int i = 0; i < 600 && scrapes < kScrapes; ++i) Run(0.1, {kToneDevice}, kEndpointRate);
  scraper.join();
  other.join();
  EXPECT_EQ(incomplete, 0);
  EXPECT_EQ(otherIncomplete, 0);
  EXPECT_GT(statuses, 0);
  EXPECT_EQ(counts.size(), static_cast<size_t>(kScrapes));
  EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
  EXPECT_GT(counts.back(), counts.front());  // the snapshots moved on meanwhile
}

// Clients that open connections and never finish a request (sixteen of
// them filled every slot) keep their own address's few slots only: a
// scrape from another address answers at once.
TEST_F(MetricsEndpointTest, SlowClientsOfOneAddressDoNotKeepAScrapeFromAnotherOut) {
  ASSERT_TRUE(StartEndpoint("127.0.0.1:" + Port())) << err.str();
  Build("NumRec=1\n");
  std::vector<int> slow;
  for (int i = 0; i < 16; ++i) slow.push_back(OpenSlowConnection("127.0.0.1", "127.0.0.1", port));
  EXPECT_EQ(std::count(slow.begin(), slow.end(), -1), 0);
  const HttpReply scrape = HttpRequestFrom("127.0.0.2", "127.0.0.1", port, "GET", "/metrics", 1.0);
  EXPECT_EQ(scrape.status, 200);
  EXPECT_TRUE(scrape.body.starts_with("# HELP varn_build_info")) << scrape.body;
  for (int fd : slow)
    if (fd >= 0) close(fd);
}

TEST_F(MetricsEndpointTest, TheSettingIsUsedUnlessTheCommandLineNamesAnAddress) {
  Build("NumRec=1\n");
  EXPECT_FALSE(StartEndpoint(""));  // nothing configured: no endpoint at all
  EXPECT_EQ(err.str(), "");

  Build("NumRec=1\nMetricsListen=" + Port() + "\n");
  ASSERT_TRUE(StartEndpoint(""));
  EXPECT_EQ(HttpGet(port, "/metrics").status, 200);
  endpoint.reset();
  EXPECT_EQ(HttpGet(port, "/metrics").status, 0);  // stopped with it

  Build("NumRec=1\nMetricsListen=nonsense\n");
  ASSERT_TRUE(StartEndpoint("[::1]:" + Port()));
  EXPECT_EQ(HttpRequest("::1", port, "GET", "/metrics").status, 200);
}

TEST_F(MetricsEndpointTest, ABadSettingOrATakenPortIsSaidAndTheProgramGoesOnWithout) {
  Build("NumRec=1\nMetricsListen=94640\n");
  EXPECT_FALSE(StartEndpoint(""));
  const std::string bad =
      "MetricsListen \"94640\": the port must be a number from 1 to 65535; running without "
      "the HTTP listener";
  EXPECT_EQ(err.str(), "varn: " + bad + "\n");
  EXPECT_NE(Diagnostics().find(bad), std::string::npos);

  MetricsServer::Page page = [] { return std::string(); };
  std::string error;
  auto other = MetricsServer::Start(*ParseListenAddress(Port()).address, page, error);
  ASSERT_TRUE(other) << error;
  err.str("");
  EXPECT_FALSE(StartEndpoint(Port()));
  const std::string taken = "HTTP listener: cannot listen on 127.0.0.1:" + Port() +
                            ": Address already in use; running without it";
  EXPECT_EQ(err.str(), "varn: " + taken + "\n");
  EXPECT_NE(Diagnostics().find(taken), std::string::npos);
}

}  // namespace
}  // namespace varn::test
