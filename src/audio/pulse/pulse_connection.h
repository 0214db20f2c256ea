#pragma once
// One connection to a PulseAudio server: a threaded main loop and a context.
// Streams keep the connection alive as long as they exist. Every wait on the
// server has a time limit, so a server that dies or hangs never hangs the
// program: the caller gets an error instead.

#include <pulse/pulseaudio.h>

#include <functional>
#include <memory>
#include <string>

#include "util/thread_role.h"

namespace varn {

inline constexpr int kPulseConnectTimeoutMs = 1500;
inline constexpr int kPulseOperationTimeoutMs = 3000;

class PulseConnection {
 public:
  // Connects to `server` (empty: the default, which honours PULSE_SERVER)
  // without starting a server. Null, with the reason, when none answers in
  // time.
  static std::shared_ptr<PulseConnection> Connect(const std::string& server, int timeoutMs,
                                                  std::string* error);
  ~PulseConnection();
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  pa_threaded_mainloop* Loop() const { return loop_; }
  pa_context* Context() const { return context_; }

  // The main loop's lock, held for the life of the object.
  // Holding the main loop's lock keeps its thread (the one that fills and
  // drains the queues) away: the holder stands in for it.
  class VARN_SCOPED_CAPABILITY Lock {
   public:
    explicit Lock(const PulseConnection& c) VARN_ACQUIRE(gAudioThreadRole) : loop_(c.loop_) {
      pa_threaded_mainloop_lock(loop_);
    }
    ~Lock() VARN_RELEASE() { pa_threaded_mainloop_unlock(loop_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  // With the lock held:
  bool ReadyLocked() const;
  // The server's text for the context's last error.
  std::string ErrorTextLocked() const;
  // Waits, letting the main loop run, until `done` is true; false after
  // `timeoutMs` or once the context has failed (then `done` was false).
  bool WaitLocked(const std::function<bool()>& done, int timeoutMs) const;
  // Waits for `op` to finish and releases it; false when it did not finish
  // in time or was cancelled (the context died). A null op is false.
  bool FinishLocked(pa_operation* op, int timeoutMs = kPulseOperationTimeoutMs) const;

 private:
  PulseConnection() = default;

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
};

}  // namespace varn
