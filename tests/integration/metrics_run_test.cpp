// The metrics endpoint of the headless monitor, end to end: scraped with a
// plain HTTP request, checked by promtool, and scraped by a real Prometheus
// server whose query API must then know varn's series. Also what happens on
// a bad --metrics, on a taken port, and without any endpoint.

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <mutex>
#include <regex>
#include <thread>

#include "support/child_process.h"
#include "support/http_client.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"
#include "support/wait_for.h"
#include "varn_run.h"

namespace varn {
namespace {

bool Installed(const std::string& program) {
  return test::RunCommand("command -v " + program + " >/dev/null 2>&1").exitCode == 0;
}

std::string UrlEncoded(const std::string& text) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '_' || c == '-' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// Sockets the process holds open.
int Sockets(pid_t pid) {
  int count = 0;
  std::error_code ec;
  for (const auto& e :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const std::string target = std::filesystem::read_symlink(e.path(), ec).string();
    count += target.rfind("socket:", 0) == 0;
  }
  return count;
}

// The [value, "number"] pairs of a Prometheus query answer, by the value
// of one label ("" when the series lacks it).
std::map<std::string, std::string> Results(const std::string& json, const std::string& label) {
  std::map<std::string, std::string> found;
  const std::regex result("\\{\"metric\":\\{([^}]*)\\},\"value\":\\[[0-9.]+,\"([^\"]*)\"\\]\\}");
  const std::regex labelValue("\"" + label + "\":\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), result);
       it != std::sregex_iterator(); ++it) {
    const std::string labels = (*it)[1];
    std::smatch m;
    found[std::regex_search(labels, m, labelValue) ? m[1].str() : ""] = (*it)[2];
  }
  return found;
}

// Datagrams of systemd's notify protocol sent to a socket of the test's own,
// read as they come (a full socket would hold the sender up).
class NotifyCollector {
 public:
  explicit NotifyCollector(const std::string& path) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    if (fd_ >= 0) bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    timeval wait{0, 50000};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    reader_ = std::thread([this] {
      char buffer[4096];
      while (!stop_) {
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        std::lock_guard lock(mutex_);
        if (n > 0) received_.emplace_back(buffer, static_cast<size_t>(n));
      }
    });
  }
  ~NotifyCollector() {
    stop_ = true;
    reader_.join();
    close(fd_);
  }
  // The messages so far that contain `text`.
  int Count(const std::string& text) {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(received_.begin(), received_.end(), [&](auto& m) {
      return m.find(text) != std::string::npos;
    }));
  }

 private:
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> received_;
  std::thread reader_;
};

class MetricsRunTest : public ::testing::Test {
 protected:
  void Settings(const std::string& conf) { test::WriteText(app / "varn.ini", "[conf]\n" + conf); }
  test::TempDir app;
  uint16_t port = test::FreeTcpPort();
};

TEST_F(MetricsRunTest, AHeadlessRunIsScrapedByPrometheus) {
  if (!Installed("promtool") || !Installed("prometheus"))
    GTEST_SKIP() << "prometheus and promtool are not installed (scripts/setup.sh installs them)";
  Settings("NumRec=2\nDeviceName_1=Sim Tone 1kHz\nDeviceName_2=Sim Programme\nBitRate_2=0\n");
  const std::string listen = "127.0.0.1:" + std::to_string(port);
  // Started as a notify service too: systemd's watchdog and the metrics
  // both hear the engine.
  NotifyCollector notify(app / "notify");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim", "--metrics", listen},
                    {"NOTIFY_SOCKET=" + app / "notify", "WATCHDOG_USEC=400000"});

  std::string text;
  ASSERT_TRUE(test::WaitFor(
      [&] {
        text = test::HttpGet(port, "/metrics").body;
        // Both running, and channel 1's meter has had its first block.
        return test::SeriesValue(text, "varn_channel_recording{channel=\"2\",name=\"系統名2\"}") ==
                   1 &&
               test::SeriesValue(text, "varn_level_dbfs{channel=\"1\",side=\"L\",kind=\"peak\"}") >
                   -99;
      },
      10))
      << text << run.Err();
  EXPECT_NE(run.Err().find("varn: metrics on http://" + listen + "/metrics"), std::string::npos);
  for (const char* family :
       {"varn_build_info gauge", "varn_channel_recording gauge", "varn_level_dbfs gauge",
        "varn_events_total counter", "varn_audio_lost_seconds_total counter",
        "varn_input_stalled gauge", "varn_archive_bytes_total counter",
        "varn_tick_seconds histogram", "varn_low_level_active gauge",
        "varn_over_level_active gauge", "varn_archive_write_failing gauge",
        "varn_channel_expect_audio gauge", "varn_loudness_target_lufs gauge",
        "varn_last_tick_timestamp_seconds gauge"})
    EXPECT_NE(text.find(std::string("# TYPE ") + family + "\n"), std::string::npos) << family;
  EXPECT_NEAR(test::SeriesValue(text, "varn_level_dbfs{channel=\"1\",side=\"L\",kind=\"peak\"}"),
              -20, 0.2);
  EXPECT_EQ(test::HttpGet(port, "/metricsx").status, 404);
  EXPECT_EQ(test::HttpRequest("127.0.0.1", port, "POST", "/metrics").status, 405);

  test::WriteText(app / "scrape.txt", text);
  const test::CommandResult lint =
      test::RunCommand("promtool check metrics < " + app / "scrape.txt" + " 2>&1");
  EXPECT_EQ(lint.exitCode, 0) << lint.output;
  EXPECT_EQ(lint.output, "");

  // A Prometheus server of the test's own scrapes it every second, with the
  // fleet's alert rules.
  const uint16_t prometheusPort = test::FreeTcpPort();
  test::WriteText(app / "prometheus.yml",
                  "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                  "  evaluation_interval: 1s\n"
                  "rule_files: ['" VARN_ALERT_RULES
                  "']\n"
                  "scrape_configs:\n  - job_name: varn\n    static_configs:\n"
                  "      - targets: ['" +
                      listen + "']\n");
  std::filesystem::create_directories(app / "tsdb");
  test::ChildProcess prometheus(
      {"sh", "-c",
       "exec prometheus --config.file=" + app / "prometheus.yml" +
           " --storage.tsdb.path=" + app / "tsdb" +
           " --web.listen-address=127.0.0.1:" + std::to_string(prometheusPort) + " 2>&1"},
      app / "prometheus.log");
  ASSERT_TRUE(prometheus.Started());
  const auto query = [&](const std::string& q) {
    return test::HttpGet(prometheusPort, "/api/v1/query?query=" + UrlEncoded(q)).body;
  };
  std::string up;
  ASSERT_TRUE(test::WaitFor(
      [&] {
        up = query("up");
        return Results(up, "job")["varn"] == "1";
      },
      20))
      << up << test::ReadText(app / "prometheus.log");
  const std::string events = query("varn_events_total{event=\"record_start\"}");
  const auto perChannel = Results(events, "channel");
  EXPECT_EQ(perChannel.size(), 2u) << events;
  EXPECT_EQ(perChannel.count("1") ? perChannel.at("1") : "", "1") << events;
  EXPECT_EQ(perChannel.count("2") ? perChannel.at("2") : "", "1") << events;
  EXPECT_EQ(Results(query("varn_events_total{event=\"start\"}"), "channel")[""], "1");
  // The rules' joins work on these labels: both lines record, are meant to
  // carry audio and have their detectors' say; each keeps its name.
  const std::string lines = query(
      "(min without (side) (varn_low_level_active) >= 0)"
      " * ignoring (name) group_left (name) (varn_channel_recording == 1)"
      " and ignoring (name) (varn_channel_expect_audio == 1)");
  const auto named = Results(lines, "name");
  EXPECT_EQ(named.size(), 2u) << lines;
  EXPECT_EQ(named.count("系統名2"), 1u) << lines;
  // The snapshot each scrape read was taken a moment before it.
  const std::string age =
      query("timestamp(varn_last_tick_timestamp_seconds) - varn_last_tick_timestamp_seconds");
  const std::string ageValue = Results(age, "job")["varn"];
  ASSERT_FALSE(ageValue.empty()) << age;
  EXPECT_LT(std::abs(std::stod(ageValue)), 2.0) << age;
  std::string rules;
  EXPECT_TRUE(test::WaitFor(
      [&] {
        rules = test::HttpGet(prometheusPort, "/api/v1/rules").body;
        return rules.find("\"health\":\"unknown\"") == std::string::npos;
      },
      10));
  EXPECT_EQ(rules.find("\"health\":\"err\""), std::string::npos) << rules;
  EXPECT_NE(rules.find("\"name\":\"VarnInputStalled\""), std::string::npos) << rules;
  prometheus.Stop();

  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(20), 0) << run.Err();
  EXPECT_EQ(notify.Count("READY=1"), 1);
  EXPECT_GE(notify.Count("WATCHDOG=1"), 5);
}

TEST_F(MetricsRunTest, ABadAddressIsRefusedAndATakenPortOnlySaidSo) {
  test::VarnRun bad(app.Path(), {"--headless", "--audio", "sim", "--metrics", "[::1]9464"});
  EXPECT_EQ(bad.Wait(10), 2);
  EXPECT_EQ(bad.Err(), "varn: --metrics \"[::1]9464\": expected PORT, ADDR:PORT or [IPv6]:PORT\n");

  // Something else holds the port: the monitor says so and runs on.
  test::TempDir other;
  test::VarnRun first(other.Path(),
                      {"--headless", "--audio", "sim", "--metrics", std::to_string(port)});
  ASSERT_TRUE(test::WaitFor([&] { return test::HttpGet(port, "/metrics").status == 200; }, 10));
  test::VarnRun second(app.Path(), {"--headless", "--audio", "sim", "--duration", "1.5",
                                    "--metrics", std::to_string(port)});
  EXPECT_EQ(second.Wait(20), 0) << second.Err();
  const std::string said = "HTTP listener: cannot listen on 127.0.0.1:" + std::to_string(port) +
                           ": Address already in use; running without it";
  EXPECT_NE(second.Err().find("varn: " + said + "\n"), std::string::npos) << second.Err();
  EXPECT_NE(test::DiagnosticsFiles(app.Path()).find(said), std::string::npos);
  EXPECT_NE(second.Out().find("正常終了"), std::string::npos);  // a whole run
  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(20), 0);
}

TEST_F(MetricsRunTest, WithoutAnEndpointNothingListens) {
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim"});
  ASSERT_TRUE(run.WaitForOutput("録音開始", 10));
  EXPECT_EQ(Sockets(run.Pid()), 0);
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(20), 0);

  Settings("MetricsListen=" + std::to_string(port) + "\n");
  test::VarnRun configured(app.Path(), {"--headless", "--audio", "sim"});
  EXPECT_TRUE(test::WaitFor([&] { return test::HttpGet(port, "/metrics").status == 200; }, 10));
  configured.Signal(SIGTERM);
  EXPECT_EQ(configured.Wait(20), 0);
}

}  // namespace
}  // namespace varn
