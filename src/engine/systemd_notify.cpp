#include "engine/systemd_notify.h"

#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdlib>

#include "engine/engine.h"

namespace varn {

namespace {
uint64_t NowUsec() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}
}  // namespace

SystemdNotifier::SystemdNotifier() {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  active_ = socket && *socket;
  if (!active_) return;
  uint64_t usec = 0;
  // 0: no watchdog; it also checks WATCHDOG_PID against this process.
  if (sd_watchdog_enabled(0, &usec) > 0) watchdogUsec_ = usec;
}

std::string SystemdNotifier::StatusText(const Engine& engine) {
  int recording = 0;
  for (int ch = 0; ch < engine.ChannelCount(); ++ch) recording += engine.Capturing(ch) ? 1 : 0;
  return "recording " + std::to_string(recording) + " of " + std::to_string(engine.ChannelCount()) +
         " channels";
}

void SystemdNotifier::Ready(const Engine& engine) {
  if (!active_) return;
  status_ = StatusText(engine);
  lastStatusUsec_ = lastPingUsec_ = NowUsec();
  Send("READY=1\nSTATUS=" + status_ + (watchdogUsec_ ? "\nWATCHDOG=1" : ""));
}

void SystemdNotifier::AfterTick(const Engine& engine) {
  if (!active_) return;
  const uint64_t now = NowUsec();
  if (watchdogUsec_ > 0 && now - lastPingUsec_ >= watchdogUsec_ / 4) {
    lastPingUsec_ = now;
    Send("WATCHDOG=1");
  }
  if (now - lastStatusUsec_ >= 1000000) {
    lastStatusUsec_ = now;
    const std::string status = StatusText(engine);
    if (status != status_) {
      status_ = status;
      Send("STATUS=" + status_);
    }
  }
}

void SystemdNotifier::Stopping() {
  if (active_) Send("STOPPING=1\nSTATUS=stopping");
}

void SystemdNotifier::Send(const std::string& message) { sd_notify(0, message.c_str()); }

}  // namespace varn
