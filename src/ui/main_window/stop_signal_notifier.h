#pragma once
// SIGTERM, SIGINT and SIGHUP reach the window as an ordinary event: the
// handler only writes a byte to a pipe, and a socket notifier on the event
// loop calls `onStop` there, so the close runs as the session-end close.

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace varn {

class StopSignalNotifier : public QObject {
 public:
  explicit StopSignalNotifier(std::function<void(int signal)> onStop);
  ~StopSignalNotifier() override;

 private:
  std::function<void(int)> onStop_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace varn
