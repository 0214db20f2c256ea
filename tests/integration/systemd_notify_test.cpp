// varn as a Type=notify service: a notify socket of the test's own receives
// READY=1 once start-up is done, the watchdog fed while the ticks run (at
// least every half of WATCHDOG_USEC), the channels recording in STATUS=, and
// STOPPING=1 at the end.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "support/temp_dir.h"
#include "varn_run.h"

namespace varn {
namespace {

class NotifySocket {
 public:
  explicit NotifySocket(const std::string& path) : path_(path) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    timeval wait{0, 100000};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  }
  ~NotifySocket() {
    if (fd_ >= 0) close(fd_);
  }
  bool Bound() const { return bound_; }
  // Every message until `seconds` have passed, each with the time it came.
  std::vector<std::pair<double, std::string>> Receive(double seconds) {
    std::vector<std::pair<double, std::string>> got;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      const double t =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (t > seconds) break;
      char buffer[4096];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n > 0) got.emplace_back(t, std::string(buffer, static_cast<size_t>(n)));
    }
    return got;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool bound_ = false;
};

TEST(SystemdNotify, ReadyWatchdogStatusAndStoppingReachTheNotifySocket) {
  test::TempDir app;
  test::WriteText(app / "varn.ini",
                  "[conf]\nNumRec=2\nDeviceName_1=Sim Tone 1kHz\nArcOn_1=0\n"
                  "DeviceName_2=Sim Silence\nArcOn_2=0\n");
  NotifySocket notify(app / "notify");
  ASSERT_TRUE(notify.Bound());
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim", "--duration", "3"},
                    {"NOTIFY_SOCKET=" + app / "notify", "WATCHDOG_USEC=400000"});
  const auto messages = notify.Receive(5.0);
  EXPECT_EQ(run.Wait(5), 0) << run.Err();
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.front().second.find("READY=1"), std::string::npos) << messages.front().second;
  EXPECT_NE(messages.front().second.find("STATUS=recording 2 of 2 channels"), std::string::npos);
  EXPECT_NE(messages.back().second.find("STOPPING=1"), std::string::npos) << messages.back().second;
  // The watchdog at least every half of its 400 ms through the three
  // seconds: counted, not timed (a busy machine delays the receiving).
  size_t pings = 0;
  for (const auto& m : messages) pings += m.second.find("WATCHDOG=1") != std::string::npos;
  EXPECT_GE(pings, 15u);
}

TEST(SystemdNotify, WithoutANotifySocketNothingIsSent) {
  test::TempDir app;
  test::WriteText(app / "varn.ini", "[conf]\nNumRec=1\nArcOn_1=0\n");
  NotifySocket notify(app / "notify");
  test::VarnRun run(app.Path(), {"--headless", "--audio", "sim", "--duration", "1"},
                    {"WATCHDOG_USEC=400000"});
  EXPECT_TRUE(notify.Receive(1.5).empty());
  EXPECT_EQ(run.Wait(5), 0);
}

}  // namespace
}  // namespace varn
