#pragma once
// The queue of headers a stream holds, shared by every backend. The
// program's thread prepares and queues headers; the backend's thread fills
// (capture) or drains (playback) them in queue order and raises their done
// flag and bytes-recorded field. A mutex guards the queue itself; the header
// fields the program polls are atomics.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "audio/wave_header.h"

namespace varn {

class HeaderQueue {
 public:
  // Bytes of one sample frame, for counting lost frames.
  void SetFrameBytes(uint32_t bytes) { frameBytes_ = bytes > 0 ? bytes : 1; }

  int Prepare(WaveHeader& header);
  int Unprepare(WaveHeader& header);
  // Clears the done flag and bytes recorded and puts the header at the end.
  int Add(WaveHeader& header);

  // Capture: copies `bytes` (silence when `data` is null) into the queued
  // headers in order; a full header is returned done. What finds no header
  // is lost and counted as an overrun. Returns the bytes lost.
  size_t Fill(const uint8_t* data, size_t bytes);

  // Playback: hands up to `maxBytes` of the queued headers, in order, to
  // `sink`; a header whose last byte went out is returned done. Returns the
  // bytes handed over.
  size_t Drain(size_t maxBytes, const std::function<void(const uint8_t*, size_t)>& sink);

  // Returns the first header done when anything was recorded into it.
  void CompletePartial();
  // Returns every queued header done and ends a running overrun.
  void ReturnAll();

  bool Empty() const;
  size_t Size() const;
  // Frames lost in each overrun that has ended since the last call.
  std::vector<uint64_t> TakeOverruns();

  // A header counts as queued from Add until the backend returns it done.
  static bool IsQueued(const WaveHeader& header);

 private:
  void EndOverrunLocked();

  mutable std::mutex mutex_;
  std::deque<WaveHeader*> queue_;
  size_t drainOffset_ = 0;  // bytes of the first header already played
  uint32_t frameBytes_ = 1;
  uint64_t lostBytes_ = 0;  // in the running overrun
  std::vector<uint64_t> endedOverruns_;
};

// Set by a backend thread when a device fails; read by the program's thread.
class FailureFlag {
 public:
  // Keeps the first reason: later failures follow from it.
  void Set(const std::string& reason);
  bool Failed() const;
  std::string Reason() const;

 private:
  mutable std::mutex mutex_;
  bool failed_ = false;
  std::string reason_;
};

}  // namespace varn
