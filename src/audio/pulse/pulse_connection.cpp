#include "audio/pulse/pulse_connection.h"

#include <chrono>
#include <csignal>
#include <thread>

namespace varn {

namespace {

bool ContextDead(pa_context* c) {
  const pa_context_state_t s = pa_context_get_state(c);
  return s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED;
}

}  // namespace

std::shared_ptr<PulseConnection> PulseConnection::Connect(const std::string& server, int timeoutMs,
                                                          std::string* error) {
  // A server that dies mid-write must give an error, not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  std::shared_ptr<PulseConnection> c(new PulseConnection());
  c->loop_ = pa_threaded_mainloop_new();
  if (!c->loop_) {
    if (error) *error = "the audio main loop cannot be created";
    return nullptr;
  }
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "varn");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "varn");
  c->context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(c->loop_), "varn", props);
  pa_proplist_free(props);
  if (!c->context_) {
    if (error) *error = "the PulseAudio context cannot be created";
    return nullptr;
  }
  if (pa_threaded_mainloop_start(c->loop_) < 0) {
    if (error) *error = "the audio main loop cannot be started";
    return nullptr;
  }
  Lock lock(*c);
  if (pa_context_connect(c->context_, server.empty() ? nullptr : server.c_str(),
                         PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    if (error) *error = c->ErrorTextLocked();
    return nullptr;
  }
  pa_context* ctx = c->context_;
  const bool ready =
      c->WaitLocked([ctx] { return pa_context_get_state(ctx) == PA_CONTEXT_READY; }, timeoutMs);
  if (!ready) {
    if (error)
      *error = ContextDead(ctx) ? c->ErrorTextLocked()
                                : "no answer within " + std::to_string(timeoutMs) + " ms";
    return nullptr;
  }
  return c;
}

PulseConnection::~PulseConnection() {
  if (context_) {
    {
      Lock lock(*this);
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
    context_ = nullptr;
  }
  if (loop_) {
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
  }
}

bool PulseConnection::ReadyLocked() const {
  return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

std::string PulseConnection::ErrorTextLocked() const {
  const char* text = pa_strerror(context_ ? pa_context_errno(context_) : PA_ERR_UNKNOWN);
  return text ? text : "unknown error";
}

bool PulseConnection::WaitLocked(const std::function<bool()>& done, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (ContextDead(context_) || std::chrono::steady_clock::now() >= deadline) return done();
    // Let the main loop thread take the lock and run its callbacks.
    pa_threaded_mainloop_unlock(loop_);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pa_threaded_mainloop_lock(loop_);
  }
  return true;
}

bool PulseConnection::FinishLocked(pa_operation* op, int timeoutMs) const {
  if (!op) return false;
  const bool finished =
      WaitLocked([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, timeoutMs);
  const bool ok = finished && pa_operation_get_state(op) == PA_OPERATION_DONE;
  if (!finished) pa_operation_cancel(op);
  pa_operation_unref(op);
  return ok;
}

}  // namespace varn
