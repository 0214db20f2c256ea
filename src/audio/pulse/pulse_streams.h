#pragma once
// Capture and playback streams on a PulseAudio server. The server's thread
// runs the read and write callbacks: they copy between the stream and the
// queued headers and raise the headers' done flags, nothing else, and keep
// the rule of the audio threads (audio/header_queue.h): no lock of ours, no
// allocation, no std::function. The program's thread takes the main loop's
// lock only to start, stop, reset or close a stream, and to hand a starved
// playback stream what it was short of.

#include <atomic>
#include <memory>
#include <string>

#include "audio/pulse/pulse_connection.h"
#include "audio/wave_service.h"

namespace varn {

class PulseInStream final : public WaveInStream {
 public:
  PulseInStream(std::shared_ptr<PulseConnection> connection, std::string deviceName,
                const WaveFormat& format);
  ~PulseInStream() override;

  // Connects to source `sourceName` (empty: the server's default) corked,
  // in ~10 ms fragments. A named source is held on to: if it goes away the
  // stream fails instead of moving silently to another source. False with
  // the server's reason on failure.
  bool Connect(const std::string& sourceName, std::string* error);
  // The server's name of the source the stream records from.
  std::string ServerDeviceName() const;
  void Rename(std::string name) {
    if (!name.empty()) SetDeviceName(std::move(name));
  }

  int Start() override;
  int Stop() override;
  int Reset() override;
  int Close() override;

 private:
  static void OnState(pa_stream* s, void* self);
  static void OnRead(pa_stream* s, size_t bytes, void* self);
  int Cork(bool cork);
  void ReleaseLocked();

  std::shared_ptr<PulseConnection> connection_;
  pa_stream* stream_ = nullptr;
  bool connected_ = false;  // the stream reached READY once
};

class PulseOutStream final : public WaveOutStream {
 public:
  PulseOutStream(std::shared_ptr<PulseConnection> connection, std::string deviceName,
                 const WaveFormat& format);
  ~PulseOutStream() override;

  bool Connect(const std::string& sinkName, std::string* error);
  std::string ServerDeviceName() const;
  void Rename(std::string name) {
    if (!name.empty()) SetDeviceName(std::move(name));
  }

  int Reset() override;
  int Close() override;

 protected:
  void Kick() override;

 private:
  static void OnState(pa_stream* s, void* self);
  static void OnWrite(pa_stream* s, size_t bytes, void* self);
  void PumpLocked(size_t bytes) VARN_AUDIO_THREAD;
  void ReleaseLocked();

  std::shared_ptr<PulseConnection> connection_;
  pa_stream* stream_ = nullptr;
  bool connected_ = false;
  // The last request of the server found the queue short.
  std::atomic<bool> starved_{true};
};

}  // namespace varn
