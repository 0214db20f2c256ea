#pragma once
// A network stream opened as a capture device. Its reader (stream_reader.h)
// fills the jitter buffer; the pacer thread releases the buffer into the
// queued headers at the channel's rate, as a sound card's interrupt would:
// first once the buffer holds its aim, then every 10 ms what the clock says
// is due. An empty buffer stalls the device until it holds its aim again;
// a stream that failed or ended fails the device once what it sent is out.

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "audio/sim/device_gate.h"
#include "audio/sim/sim_pacer.h"
#include "audio/wave_service.h"

namespace varn {

class StreamReader;

class StreamInStream final : public WaveInStream, public SimPaced {
 public:
  StreamInStream(std::shared_ptr<StreamReader> reader, const WaveFormat& format,
                 std::shared_ptr<SimPacer> pacer);
  ~StreamInStream() override;

  int Start() override;
  int Stop() override;
  int Reset() override;
  int Close() override;
  std::vector<Note> TakeNotes() VARN_PROGRAM_THREAD override;
  bool IsStream() const override { return true; }

  void Pace() override;

 private:
  void Shutdown();
  // Releases up to `frames` buffered frames into the headers; returns how many.
  size_t Release(size_t frames) VARN_AUDIO_THREAD;
  // True once the buffer may start releasing.
  bool Prime(bool ended) VARN_AUDIO_THREAD;

  std::shared_ptr<StreamReader> reader_;
  std::shared_ptr<SimPacer> pacer_;
  DeviceGate gate_;
  std::atomic<bool> running_{false};
  std::atomic<bool> quit_{false};
  const uint64_t lossesAtOpen_;
  // The pacer's own (or the program's, while it holds the gate).
  bool skipStale_ VARN_AUDIO_OWNED = false;
  bool primed_ VARN_AUDIO_OWNED = false;
  std::chrono::steady_clock::time_point startTime_ VARN_AUDIO_OWNED;
  std::chrono::steady_clock::time_point settleUntil_ VARN_AUDIO_OWNED;
  uint64_t released_ VARN_AUDIO_OWNED = 0;
  uint64_t pendingLost_ VARN_AUDIO_OWNED = 0;  // dropped by the reader, not yet told
  std::chrono::steady_clock::time_point lastDrop_ VARN_AUDIO_OWNED;
  std::vector<int16_t> scratch_;
};

}  // namespace varn
