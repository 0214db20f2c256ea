#include "ui/main_window/stop_signal_notifier.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace varn {

namespace {
int gPipe[2] = {-1, -1};

extern "C" void OnSignal(int signal) {
  const unsigned char byte = static_cast<unsigned char>(signal);
  if (gPipe[1] >= 0) (void)!write(gPipe[1], &byte, 1);
}
}  // namespace

StopSignalNotifier::StopSignalNotifier(std::function<void(int)> onStop)
    : onStop_(std::move(onStop)) {
  if (gPipe[0] < 0 && pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    while (read(gPipe[0], &byte, 1) == 1) {
      if (onStop_) onStop_(byte);
    }
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &sa, nullptr);
  // A closed standard output must not end the monitor.
  signal(SIGPIPE, SIG_IGN);
}

StopSignalNotifier::~StopSignalNotifier() {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &sa, nullptr);
}

}  // namespace varn
