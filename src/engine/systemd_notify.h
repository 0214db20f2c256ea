#pragma once
// systemd's notify protocol, when varn runs as a Type=notify service: ready
// once start-up is done, a status line with the channels recording, the
// watchdog fed from the tick (so a hung program is restarted), and stopping
// at the end. Without NOTIFY_SOCKET it does nothing and costs nothing.

#include <cstdint>
#include <string>

#include "engine/tick_timer.h"

namespace varn {

class Engine;

class SystemdNotifier final : public TickObserver {
 public:
  SystemdNotifier();
  bool Active() const { return active_; }

  // Start-up is done: READY=1 with the first status.
  void Ready(const Engine& engine);
  // After every tick: WATCHDOG=1 when a quarter of WATCHDOG_USEC has passed
  // since the last one, and STATUS= once a second when it changed.
  void AfterTick(const Engine& engine) override;
  void Stopping();

  // "recording 7 of 8 channels".
  static std::string StatusText(const Engine& engine);

 private:
  void Send(const std::string& message);

  bool active_ = false;
  uint64_t watchdogUsec_ = 0;
  uint64_t lastPingUsec_ = 0;
  uint64_t lastStatusUsec_ = 0;
  std::string status_;
};

}  // namespace varn
