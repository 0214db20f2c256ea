#pragma once
// The streams of the virtual devices. At real-time pace each runs its own
// thread that produces (or plays) as many frames as the clock says are due,
// every 10 ms. At manual pace there is no thread: a test produces or plays
// N frames when it wants, so buffer completion is deterministic.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/sim/sim_signal.h"
#include "audio/wave_service.h"

namespace varn {

enum class SimPace { RealTime, Manual };

// The bytes the virtual output devices played, for checks at manual pace.
class PlayedTap {
 public:
  void Append(const uint8_t* data, size_t bytes);
  std::vector<uint8_t> Take();

 private:
  std::mutex mutex_;
  std::vector<uint8_t> bytes_;
};

class SimInStream final : public WaveInStream {
 public:
  SimInStream(std::string deviceName, const WaveFormat& format, std::unique_ptr<SimSignal> signal,
              SimPace pace);
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

 private:
  void Run();
  size_t ProduceLocked(size_t frames);
  void Shutdown();

  std::unique_ptr<SimSignal> signal_;
  SimPace pace_;
  std::mutex stateMutex_;  // guards the fields below and the signal
  std::condition_variable wake_;
  bool running_ = false;
  bool quit_ = false;
  std::chrono::steady_clock::time_point startTime_;
  uint64_t producedSinceStart_ = 0;
  std::vector<int16_t> scratch_;
  std::thread thread_;
};

class SimOutStream final : public WaveOutStream {
 public:
  SimOutStream(std::string deviceName, const WaveFormat& format, SimPace pace,
               std::shared_ptr<PlayedTap> tap);
  ~SimOutStream() override;

  int Reset() override;
  int Close() override;

  // Plays `frames` frames of the written headers now (manual pace). Frames
  // with no header to play are silence. Returns the bytes taken from headers.
  size_t Consume(size_t frames);
  void Fail(const std::string& reason) { failed_.Set(reason); }

 private:
  void Run();
  void Shutdown();

  SimPace pace_;
  std::shared_ptr<PlayedTap> tap_;
  std::mutex stateMutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace varn
