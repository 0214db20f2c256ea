#pragma once
// The reader of one network stream for one capture format: a thread of its
// own that connects, decodes (stream_decoder.h) and writes the channel's
// samples into the stream's jitter buffer, and connects again a second
// after the stream failed or ended, for as long as a channel wants it.
//
// It meets the rest of the program only through the jitter buffer (one
// consumer: the attached capture stream), atomics, and a ring of notes
// (connections, titles, steering) that the program's thread takes.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/header_queue.h"
#include "audio/stream/drift_steer.h"
#include "audio/stream/sample_ring.h"
#include "audio/wave_service.h"
#include "util/spsc_ring.h"
#include "util/thread_role.h"

namespace varn {

class StreamDecoder;

// What the reader says to the program's thread.
using StreamNote = WaveInStream::Note;

// How long a reader keeps its stream without a channel asking for it.
inline constexpr std::chrono::seconds kStreamIdleKeep{15};
inline constexpr std::chrono::milliseconds kStreamRetryDelay{1000};

class StreamReader {
 public:
  enum class State : int {
    Fresh,       // the first connection is under way
    Connecting,  // connecting again after a failure
    Playing,     // audio arrives
    Down,        // failed; waits to connect again
  };

  StreamReader(std::string name, std::string url, int rate, int channels, int bufferMs);
  ~StreamReader();
  StreamReader(const StreamReader&) = delete;
  StreamReader& operator=(const StreamReader&) = delete;

  const std::string& Name() const { return name_; }
  int Rate() const { return rate_; }
  int Channels() const { return channels_; }
  // Frames the buffer aims to hold.
  size_t TargetFrames() const { return targetFrames_; }

  // ---- any thread
  State CurrentState() const { return state_.load(std::memory_order_acquire); }
  // Counts connections that ended (failed, dropped or finished).
  uint64_t Losses() const { return losses_.load(std::memory_order_acquire); }
  std::string LastFailure() const;
  // A channel wants the stream now: keeps it connected a while longer.
  void Want() { wantedAt_.store(NowTicks(), std::memory_order_release); }
  // A capture stream takes the buffer; a connection that ends lets it go
  // (the stream plays out what it holds, then fails).
  void SetAttached(bool attached) { attached_.store(attached, std::memory_order_release); }
  bool Attached() const { return attached_.load(std::memory_order_acquire); }
  // False while the connection is a file or a finished playlist: read no
  // faster than it is played, never trimmed or steered.
  bool Live() const { return live_.load(std::memory_order_acquire); }
  // The consumer releases audio now: steering may begin.
  void SetReleasing(bool on) { releasing_.store(on, std::memory_order_release); }

  // ---- the jitter buffer's consumer (the attached stream)
  SampleRing& Buffer() { return ring_; }
  // Frames the reader dropped because the buffer was full, since the last call.
  uint64_t TakeDroppedFrames() { return dropped_.exchange(0, std::memory_order_acq_rel); }

  // ---- the program's thread
  bool TakeNote(StreamNote& note) VARN_PROGRAM_THREAD { return notes_.TryPop(note); }
  // Asks the thread to end, breaking off a network call under way. Most
  // end at once; one still resolving a host name may take longer.
  void RequestStop();
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

 private:
  static int64_t NowTicks();
  void Run();
  void Session() VARN_STREAM_THREAD;
  void Push(const int16_t* samples, size_t count) VARN_STREAM_THREAD;
  void SteerDrift(StreamDecoder& decoder) VARN_STREAM_THREAD;
  void Note(bool title, std::string text);
  void Fail(const std::string& reason) VARN_STREAM_THREAD;
  bool Wanted() const;
  // Sleeps up to `d`, in short steps; false when the reader is ending.
  bool Pause(std::chrono::milliseconds d) const;

  const std::string name_;
  const std::string url_;
  const int rate_;
  const int channels_;
  const size_t targetFrames_;
  SampleRing ring_;
  SpscRing<StreamNote> notes_{64};
  std::atomic<State> state_{State::Fresh};
  std::atomic<uint64_t> losses_{0};
  std::atomic<uint64_t> dropped_{0};
  std::atomic<int64_t> wantedAt_;
  std::atomic<bool> attached_{false};
  std::atomic<bool> releasing_{false};
  std::atomic<bool> quit_{false};
  std::atomic<bool> live_{true};
  std::atomic<bool> finished_{false};
  // The reason text and the open connection (for Abort); no thread that
  // fills headers takes this lock.
  mutable std::mutex mutex_;
  std::string failure_;
  StreamDecoder* decoder_ = nullptr;
  std::string lastNoted_ VARN_GUARDED_BY(::varn::gStreamThreadRole);

  // The reader's own.
  uint64_t framesSinceSteer_ VARN_GUARDED_BY(::varn::gStreamThreadRole) = 0;
  DriftSteer steer_ VARN_GUARDED_BY(::varn::gStreamThreadRole);
  int64_t steeredFrames_ VARN_GUARDED_BY(::varn::gStreamThreadRole) = 0;

  std::thread thread_;
};

}  // namespace varn
