#pragma once
// The streams of the virtual devices. At real-time pace the service's pacer
// thread (sim_pacer.h) has each produce (or play) as many frames as the
// clock says are due, every 10 ms. At manual pace there is no thread: a test
// produces or plays N frames when it wants, so buffer completion is
// deterministic.
//
// A device's thread follows the rule of the audio threads (audio/
// header_queue.h): it meets the program only through the header queue, its
// gate and atomics. Rendering a signal stands in for the hardware.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/sim/device_gate.h"
#include "audio/sim/sim_pacer.h"
#include "audio/sim/sim_signal.h"
#include "audio/wave_service.h"

namespace varn {

enum class SimPace { RealTime, Manual };

// The bytes the virtual output devices played, for checks at manual pace
// (the test's thread plays them, so a lock is harmless here).
class PlayedTap {
 public:
  void Append(const uint8_t* data, size_t bytes);
  std::vector<uint8_t> Take();

 private:
  std::mutex mutex_;
  std::vector<uint8_t> bytes_;
};

class SimInStream final : public WaveInStream, public SimPaced {
 public:
  // `pacer` drives it at real-time pace; null for manual pace.
  SimInStream(std::string deviceName, const WaveFormat& format, std::unique_ptr<SimSignal> signal,
              std::shared_ptr<SimPacer> pacer);
  ~SimInStream() override;

  int Start() override;
  int Stop() override;
  int Reset() override;
  int Close() override;

  // Produces `frames` frames into the queued headers now (manual pace; at
  // real-time pace the stream's thread calls it). Nothing happens unless
  // the stream is started and working. Returns the frames produced.
  size_t Produce(size_t frames);
  // Makes the device fail as if it had been unplugged.
  void Fail(const std::string& reason) { failed_.Set(reason); }
  // Holds the device's production, as a device whose driver stalls: the
  // frames due meanwhile arrive late, all at once (at most one second).
  void Pause(bool paused) { paused_.store(paused, std::memory_order_release); }

  void Pace() override;

 private:
  size_t ProduceFrames(size_t frames) VARN_AUDIO_THREAD;
  void Shutdown();

  std::unique_ptr<SimSignal> signal_;
  std::shared_ptr<SimPacer> pacer_;
  DeviceGate gate_;
  std::atomic<bool> running_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> quit_{false};
  // The device's own (set by Start while the gate is held).
  std::chrono::steady_clock::time_point startTime_;
  uint64_t producedSinceStart_ = 0;
  std::vector<int16_t> scratch_;
};

class SimOutStream final : public WaveOutStream, public SimPaced {
 public:
  // `rate`: how fast the device's clock runs against the inputs' (0.995:
  // half a per cent slow).
  SimOutStream(std::string deviceName, const WaveFormat& format, std::shared_ptr<SimPacer> pacer,
               std::shared_ptr<PlayedTap> tap, double rate = 1.0);
  ~SimOutStream() override;

  int Reset() override;
  int Close() override;

  // Plays `frames` frames of the written headers now (manual pace), or as
  // many as the device's clock makes of them (whole frames; the fraction
  // carries over). Frames with no header to play are silence. Returns the
  // bytes taken from headers.
  size_t Consume(size_t frames);
  void Fail(const std::string& reason) { failed_.Set(reason); }
  // Holds playback at real-time pace, as a sink whose server stalls: the
  // frames due meanwhile are taken late, all at once (at most one second).
  void Pause(bool paused) { paused_.store(paused, std::memory_order_release); }
  // A sum over every byte the real-time device played, so its thread truly
  // reads the samples it plays (what a sanitizer needs to see).
  uint64_t PlayedSum() const { return playedSum_.load(std::memory_order_acquire); }

  void Pace() override;

 private:
  void Shutdown();

  std::shared_ptr<SimPacer> pacer_;
  std::shared_ptr<PlayedTap> tap_;
  DeviceGate gate_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> paused_{false};
  std::atomic<uint64_t> playedSum_{0};
  std::vector<uint8_t> deviceBuffer_;  // where the real-time device copies what it plays
  std::chrono::steady_clock::time_point start_;
  uint64_t played_ = 0;
  double rate_ = 1.0;
  double owed_ = 0.0;  // manual pace: the fraction of a frame not played yet
};

}  // namespace varn
