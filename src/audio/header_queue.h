#pragma once
// The queue of headers a stream holds, shared by every backend. The
// program's thread prepares and queues headers; the backend's thread fills
// (capture) or drains (playback) them in queue order and raises their done
// flag and bytes-recorded field.
//
// The rule of the audio threads: in a backend's callback nothing takes a
// lock, allocates or calls through std::function. The headers travel to the
// backend through a wait-free single-producer/single-consumer ring, they
// come back through their done flags, and overruns go back through a second
// ring and atomics. What must touch the backend's side from the program's
// thread (a reset, a stop) runs only while the backend's thread provably
// stays away from the queue: the backend holds it off (its main loop's lock,
// its thread paused) for that moment.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/wave_header.h"
#include "util/spsc_ring.h"
#include "util/thread_role.h"

namespace varn {

class HeaderQueue {
 public:
  HeaderQueue();

  // Bytes of one sample frame, for counting lost frames.
  void SetFrameBytes(uint32_t bytes) { frameBytes_ = bytes > 0 ? bytes : 1; }

  // ---- the program's thread
  // Marks the header usable on this stream and makes room for it in the
  // ring (while nothing is queued: prepare every header before queuing).
  int Prepare(WaveHeader& header) VARN_PROGRAM_THREAD;
  int Unprepare(WaveHeader& header) VARN_PROGRAM_THREAD;
  // Clears the done flag and bytes recorded and puts the header at the end.
  int Add(WaveHeader& header) VARN_PROGRAM_THREAD;
  // Frames lost in each overrun that has ended since the last call, oldest
  // first.
  std::vector<uint64_t> TakeOverruns() VARN_PROGRAM_THREAD;

  // ---- the backend's thread
  // Capture: copies `bytes` (silence when `data` is null) into the queued
  // headers in order; a full header is returned done. What finds no header
  // is lost and counted as an overrun. Returns the bytes lost.
  size_t Fill(const uint8_t* data, size_t bytes) VARN_AUDIO_THREAD;
  // Capture: `frames` that the device's source lost before they reached
  // the queue (a network stream's full jitter buffer), told as an overrun
  // of their own.
  void ReportLost(uint64_t frames) VARN_AUDIO_THREAD;

  // Playback: hands up to `maxBytes` of the queued headers, in order, to
  // `sink(const uint8_t*, size_t)`; a header whose last byte went out is
  // returned done. Returns the bytes handed over.
  template <class Sink>
  size_t Drain(size_t maxBytes, Sink&& sink) VARN_AUDIO_THREAD;

  // Backend side too, called by the program's thread only while the
  // backend's thread is held off. Returns the first header done when
  // anything was recorded into it.
  void CompletePartial() VARN_AUDIO_THREAD;
  // Returns every queued header done and ends a running overrun.
  void ReturnAll() VARN_AUDIO_THREAD;

  bool Empty() const { return queue_.Empty(); }
  size_t Size() const { return queue_.Size(); }

  // A header counts as queued from Add until the backend returns it done.
  static bool IsQueued(const WaveHeader& header);

 private:
  static void MarkDone(WaveHeader& h) { h.flags.fetch_or(kWaveDone, std::memory_order_release); }
  void EndOverrun() VARN_AUDIO_THREAD;

  SpscRing<WaveHeader*> queue_;
  size_t prepared_ VARN_PROGRAM_OWNED = 0;   // headers prepared on the stream
  size_t drainOffset_ VARN_AUDIO_OWNED = 0;  // bytes of the first header already played
  uint64_t lostBytes_ VARN_AUDIO_OWNED = 0;  // bytes lost in the running overrun
  uint32_t frameBytes_ = 1;                  // set before the stream runs
  SpscRing<uint64_t> endedOverruns_;         // backend -> program: frames of each overrun
  std::atomic<uint64_t> spilledFrames_{0};   // overruns that found that ring full
};

template <class Sink>
size_t HeaderQueue::Drain(size_t maxBytes, Sink&& sink) VARN_AUDIO_THREAD {
  size_t handed = 0;
  while (WaveHeader** front = queue_.Front()) {
    WaveHeader& h = **front;
    const size_t left = h.bufferLength > drainOffset_ ? h.bufferLength - drainOffset_ : 0;
    const size_t n = left < maxBytes - handed ? left : maxBytes - handed;
    if (n > 0) {
      sink(static_cast<const uint8_t*>(h.data + drainOffset_), n);
      drainOffset_ += n;
      handed += n;
    }
    if (n < left) break;  // the device takes no more now
    queue_.Pop();
    drainOffset_ = 0;
    MarkDone(h);
  }
  return handed;
}

// Set by a backend's thread when a device fails; read by the program's
// thread. Lock-free: the first reason is copied into a fixed buffer before
// the flag is raised, so later failures (which follow from the first) and
// readers never wait.
class FailureFlag {
 public:
  void Set(const char* reason);
  void Set(const std::string& reason) { Set(reason.c_str()); }
  bool Failed() const { return state_.load(std::memory_order_acquire) == kSet; }
  std::string Reason() const;

 private:
  static constexpr int kClear = 0;
  static constexpr int kWriting = 1;
  static constexpr int kSet = 2;
  std::atomic<int> state_{kClear};
  char reason_[256] = {};
};

}  // namespace varn
