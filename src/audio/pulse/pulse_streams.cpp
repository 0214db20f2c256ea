#include "audio/pulse/pulse_streams.h"

#include <algorithm>
#include <cstring>

namespace varn {

namespace {

constexpr uint32_t kNoValue = static_cast<uint32_t>(-1);

pa_sample_spec SpecOf(const WaveFormat& f) {
  pa_sample_spec ss;
  ss.format = PA_SAMPLE_S16LE;
  ss.rate = f.samplesPerSec;
  ss.channels = static_cast<uint8_t>(f.channels);
  return ss;
}

// Bytes of `ms` milliseconds, in whole frames, at least one frame.
uint32_t BytesOf(const WaveFormat& f, int ms) {
  const uint64_t frames = std::max<uint64_t>(1, static_cast<uint64_t>(f.samplesPerSec) * ms / 1000);
  return static_cast<uint32_t>(frames * f.blockAlign);
}

std::string StreamErrorText(pa_stream* s) {
  const char* text = pa_strerror(pa_context_errno(pa_stream_get_context(s)));
  return text ? text : "unknown error";
}

// Waits for a newly connected stream to become ready.
bool WaitReady(const PulseConnection& c, pa_stream* s, std::string* error) {
  const bool settled = c.WaitLocked(
      [s] {
        const pa_stream_state_t st = pa_stream_get_state(s);
        return st == PA_STREAM_READY || st == PA_STREAM_FAILED || st == PA_STREAM_TERMINATED;
      },
      kPulseOperationTimeoutMs);
  if (settled && pa_stream_get_state(s) == PA_STREAM_READY) return true;
  if (error)
    *error = settled || pa_stream_get_state(s) != PA_STREAM_CREATING
                 ? StreamErrorText(s)
                 : "the server did not answer in time";
  return false;
}

// Reports a stream that fails after it was working: unplugged device,
// server gone, stream killed. Runs on the server's thread: no allocation.
void NoteState(pa_stream* s, bool connected, FailureFlag& failed) {
  const pa_stream_state_t st = pa_stream_get_state(s);
  if (!connected) return;
  if (st == PA_STREAM_FAILED) {
    const char* text = pa_strerror(pa_context_errno(pa_stream_get_context(s)));
    failed.Set(text ? text : "unknown error");
  }
  if (st == PA_STREAM_TERMINATED) failed.Set("the server ended the stream");
}

// A new stream on a ready connection; null with the reason in `error`.
pa_stream* NewStream(PulseConnection& c, const WaveFormat& format, const char* name,
                     std::string* error) {
  pa_stream* s = nullptr;
  if (c.ReadyLocked()) {
    const pa_sample_spec ss = SpecOf(format);
    s = pa_stream_new(c.Context(), name, &ss, nullptr);
  }
  if (!s && error) *error = c.ErrorTextLocked();
  return s;
}

void Release(pa_stream*& s);

// After pa_stream_connect_*: waits until the stream is ready; on failure
// sets `error` and releases the stream.
bool FinishConnect(const PulseConnection& c, pa_stream*& s, int connectResult, std::string* error) {
  if (connectResult >= 0 && WaitReady(c, s, error)) return true;
  if (error && error->empty()) *error = StreamErrorText(s);
  Release(s);
  return false;
}

std::string DeviceNameOf(PulseConnection& c, pa_stream* s) {
  PulseConnection::Lock lock(c);
  const char* name = s ? pa_stream_get_device_name(s) : nullptr;
  return name ? name : "";
}

void Release(pa_stream*& s) {
  if (!s) return;
  pa_stream_set_state_callback(s, nullptr, nullptr);
  pa_stream_set_read_callback(s, nullptr, nullptr);
  pa_stream_set_write_callback(s, nullptr, nullptr);
  if (pa_stream_get_state(s) == PA_STREAM_READY || pa_stream_get_state(s) == PA_STREAM_CREATING)
    pa_stream_disconnect(s);
  pa_stream_unref(s);
  s = nullptr;
}

}  // namespace

// ---- capture

PulseInStream::PulseInStream(std::shared_ptr<PulseConnection> connection, std::string deviceName,
                             const WaveFormat& format)
    : WaveInStream(std::move(deviceName), format), connection_(std::move(connection)) {}

PulseInStream::~PulseInStream() {
  if (!closed_) Close();
}

bool PulseInStream::Connect(const std::string& sourceName, std::string* error) {
  PulseConnection::Lock lock(*connection_);
  stream_ = NewStream(*connection_, Format(), "varn capture", error);
  if (!stream_) return false;
  pa_stream_set_state_callback(stream_, &PulseInStream::OnState, this);
  pa_stream_set_read_callback(stream_, &PulseInStream::OnRead, this);
  // Fragments of up to 40 ms: fewer wake-ups of the server's thread, yet
  // shorter than a sixth of a capture buffer (48 ms; 2304 frames for MP3
  // buffers at high rates), so the analysis sees every segment come.
  const double segmentMs =
      std::min(48.0, 2304000.0 / std::max<uint32_t>(Format().samplesPerSec, 1));
  const int fragmentMs = std::clamp(static_cast<int>(segmentMs * 0.8), 10, 40);
  pa_buffer_attr attr{kNoValue, kNoValue, kNoValue, kNoValue, BytesOf(Format(), fragmentMs)};
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED |
                                     (sourceName.empty() ? 0 : PA_STREAM_DONT_MOVE));
  const int r = pa_stream_connect_record(stream_, sourceName.empty() ? nullptr : sourceName.c_str(),
                                         &attr, flags);
  if (!FinishConnect(*connection_, stream_, r, error)) return false;
  connected_ = true;
  return true;
}

std::string PulseInStream::ServerDeviceName() const { return DeviceNameOf(*connection_, stream_); }

void PulseInStream::OnState(pa_stream* s, void* self) {
  auto* me = static_cast<PulseInStream*>(self);
  NoteState(s, me->connected_, me->failed_);
}

void PulseInStream::OnRead(pa_stream* s, size_t, void* self) {
  ThreadRoleScope audio(gAudioThreadRole);  // the main loop's thread
  auto* me = static_cast<PulseInStream*>(self);
  for (;;) {
    const void* data = nullptr;
    size_t bytes = 0;
    if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) return;
    // A hole in the stream (no data for a stretch) is recorded as silence.
    me->queue_.Fill(static_cast<const uint8_t*>(data), bytes);
    pa_stream_drop(s);
  }
}

int PulseInStream::Cork(bool cork) {
  PulseConnection::Lock lock(*connection_);
  if (!stream_) return kWaveErrInvalidHandle;
  if (Failed()) return kWaveErrDeviceFailed;
  if (connection_->FinishLocked(pa_stream_cork(stream_, cork ? 1 : 0, nullptr, nullptr)))
    return kWaveOk;
  return Failed() || !connection_->ReadyLocked() ? kWaveErrDeviceFailed : kWaveErrTimeout;
}

int PulseInStream::Start() {
  if (closed_) return kWaveErrInvalidHandle;
  return Cork(false);
}

int PulseInStream::Stop() {
  if (closed_) return kWaveErrInvalidHandle;
  const int r = Cork(true);
  // Under the main loop's lock the read callback cannot run.
  PulseConnection::Lock lock(*connection_);
  queue_.CompletePartial();
  return r;
}

int PulseInStream::Reset() {
  if (closed_) return kWaveErrInvalidHandle;
  int r = Cork(true);
  {
    PulseConnection::Lock lock(*connection_);
    if (r == kWaveOk && stream_ &&
        !connection_->FinishLocked(pa_stream_flush(stream_, nullptr, nullptr)))
      r = kWaveErrDeviceFailed;
    queue_.ReturnAll();
  }
  return r;
}

int PulseInStream::Close() {
  if (closed_) return kWaveErrInvalidHandle;
  {
    PulseConnection::Lock lock(*connection_);
    ReleaseLocked();
  }
  // The stream is gone: no callback of the main loop touches the queue again.
  ThreadRoleScope released(gAudioThreadRole);
  queue_.ReturnAll();
  closed_ = true;
  return kWaveOk;
}

void PulseInStream::ReleaseLocked() { Release(stream_); }

// ---- playback

PulseOutStream::PulseOutStream(std::shared_ptr<PulseConnection> connection, std::string deviceName,
                               const WaveFormat& format)
    : WaveOutStream(std::move(deviceName), format), connection_(std::move(connection)) {}

PulseOutStream::~PulseOutStream() {
  if (!closed_) Close();
}

bool PulseOutStream::Connect(const std::string& sinkName, std::string* error) {
  PulseConnection::Lock lock(*connection_);
  stream_ = NewStream(*connection_, Format(), "varn monitor", error);
  if (!stream_) return false;
  pa_stream_set_state_callback(stream_, &PulseOutStream::OnState, this);
  pa_stream_set_write_callback(stream_, &PulseOutStream::OnWrite, this);
  // A short server buffer: what is not yet requested waits in our queue.
  pa_buffer_attr attr{kNoValue, BytesOf(Format(), 40), kNoValue, BytesOf(Format(), 10), kNoValue};
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                    (sinkName.empty() ? 0 : PA_STREAM_DONT_MOVE));
  const int r = pa_stream_connect_playback(stream_, sinkName.empty() ? nullptr : sinkName.c_str(),
                                           &attr, flags, nullptr, nullptr);
  if (!FinishConnect(*connection_, stream_, r, error)) return false;
  connected_ = true;
  return true;
}

std::string PulseOutStream::ServerDeviceName() const { return DeviceNameOf(*connection_, stream_); }

void PulseOutStream::OnState(pa_stream* s, void* self) {
  auto* me = static_cast<PulseOutStream*>(self);
  NoteState(s, me->connected_, me->failed_);
}

void PulseOutStream::OnWrite(pa_stream*, size_t bytes, void* self) {
  ThreadRoleScope audio(gAudioThreadRole);  // the main loop's thread
  static_cast<PulseOutStream*>(self)->PumpLocked(bytes);
}

void PulseOutStream::PumpLocked(size_t bytes) {
  if (!stream_) return;
  // Said before looking at the queue: a header written meanwhile either is
  // seen below or finds the flag and kicks (see Kick).
  starved_.store(true, std::memory_order_seq_cst);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  while (bytes > 0) {
    // The server's own memory: the samples are copied once, and nothing
    // is allocated here.
    void* target = nullptr;
    size_t room = bytes;
    if (pa_stream_begin_write(stream_, &target, &room) < 0 || !target || room == 0) return;
    room = std::min(room, bytes);
    size_t at = 0;
    queue_.Drain(room, [&](const uint8_t* data, size_t n) {
      std::memcpy(static_cast<uint8_t*>(target) + at, data, n);
      at += n;
    });
    if (at == 0) {
      pa_stream_cancel_write(stream_);
      return;  // starved: the next written header kicks
    }
    pa_stream_write(stream_, target, at, nullptr, 0, PA_SEEK_RELATIVE);
    bytes -= at;
  }
  starved_.store(false, std::memory_order_relaxed);
}

void PulseOutStream::Kick() {
  // The server asks for data only as it plays: when the last request found
  // the queue short, a header written now must go out from here. Otherwise
  // the write callback takes it and this thread never waits for the lock.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (!starved_.load(std::memory_order_seq_cst)) return;
  PulseConnection::Lock lock(*connection_);
  if (!stream_ || !connected_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
  const size_t writable = pa_stream_writable_size(stream_);
  if (writable != static_cast<size_t>(-1) && writable > 0) PumpLocked(writable);
}

int PulseOutStream::Reset() {
  if (closed_) return kWaveErrInvalidHandle;
  PulseConnection::Lock lock(*connection_);
  int r = kWaveOk;
  if (!stream_ || Failed() ||
      !connection_->FinishLocked(pa_stream_flush(stream_, nullptr, nullptr)))
    r = kWaveErrDeviceFailed;
  queue_.ReturnAll();
  return r;
}

int PulseOutStream::Close() {
  if (closed_) return kWaveErrInvalidHandle;
  {
    PulseConnection::Lock lock(*connection_);
    ReleaseLocked();
  }
  // The stream is gone: no callback of the main loop touches the queue again.
  ThreadRoleScope released(gAudioThreadRole);
  queue_.ReturnAll();
  closed_ = true;
  return kWaveOk;
}

void PulseOutStream::ReleaseLocked() { Release(stream_); }

}  // namespace varn
