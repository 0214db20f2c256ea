#include "audio/header_queue.h"

#include <algorithm>
#include <cstring>

#include "audio/wave_service.h"

namespace varn {

namespace {
// Room for the usual rings without growing; larger ones grow at Prepare.
constexpr size_t kInitialHeaders = 16;
// Ended overruns waiting for the program's thread; more are summed up.
constexpr size_t kOverrunSlots = 64;
}  // namespace

HeaderQueue::HeaderQueue() : queue_(kInitialHeaders), endedOverruns_(kOverrunSlots) {}

bool HeaderQueue::IsQueued(const WaveHeader& header) {
  const uint32_t f = header.flags.load(std::memory_order_acquire);
  return (f & kWaveInQueue) != 0 && (f & kWaveDone) == 0;
}

int HeaderQueue::Prepare(WaveHeader& header) {
  if (header.data == nullptr && header.bufferLength > 0) return kWaveErrInvalidParam;
  if (IsQueued(header)) return kWaveErrStillPlaying;
  if ((header.flags.load(std::memory_order_acquire) & kWavePrepared) == 0) {
    if (prepared_ + 1 > queue_.Capacity() &&
        !queue_.Reserve(std::max(prepared_ + 1, 2 * queue_.Capacity())))
      return kWaveErrNoMem;
    ++prepared_;
  }
  header.flags.fetch_or(kWavePrepared, std::memory_order_acq_rel);
  return kWaveOk;
}

int HeaderQueue::Unprepare(WaveHeader& header) {
  if (IsQueued(header)) return kWaveErrStillPlaying;
  const uint32_t before =
      header.flags.fetch_and(~(kWavePrepared | kWaveInQueue), std::memory_order_acq_rel);
  if ((before & kWavePrepared) != 0 && prepared_ > 0) --prepared_;
  return kWaveOk;
}

int HeaderQueue::Add(WaveHeader& header) {
  if ((header.flags.load(std::memory_order_acquire) & kWavePrepared) == 0)
    return kWaveErrUnprepared;
  if (IsQueued(header)) return kWaveErrStillPlaying;
  header.bytesRecorded.store(0, std::memory_order_relaxed);
  header.flags.fetch_and(~kWaveDone, std::memory_order_relaxed);
  header.flags.fetch_or(kWaveInQueue, std::memory_order_relaxed);
  // The push publishes the header's fields to the backend's thread.
  if (!queue_.TryPush(&header)) {
    header.flags.fetch_and(~kWaveInQueue, std::memory_order_relaxed);
    return kWaveErrNoMem;
  }
  return kWaveOk;
}

size_t HeaderQueue::Fill(const uint8_t* data, size_t bytes) {
  while (bytes > 0) {
    WaveHeader** front = queue_.Front();
    if (!front) break;
    WaveHeader& h = **front;
    const uint32_t recorded = h.bytesRecorded.load(std::memory_order_relaxed);
    const size_t room = h.bufferLength > recorded ? h.bufferLength - recorded : 0;
    const size_t n = std::min(room, bytes);
    if (n > 0) {
      if (data) {
        std::memcpy(h.data + recorded, data, n);
        data += n;
      } else {
        std::memset(h.data + recorded, 0, n);
      }
      bytes -= n;
      h.bytesRecorded.store(recorded + static_cast<uint32_t>(n), std::memory_order_release);
      EndOverrun();
    }
    if (recorded + n >= h.bufferLength) {
      queue_.Pop();
      MarkDone(h);
    }
  }
  lostBytes_ += bytes;
  return bytes;
}

void HeaderQueue::ReportLost(uint64_t frames) {
  if (frames == 0) return;
  EndOverrun();
  if (!endedOverruns_.TryPush(frames)) spilledFrames_.fetch_add(frames, std::memory_order_acq_rel);
}

void HeaderQueue::CompletePartial() {
  WaveHeader** front = queue_.Front();
  if (!front || (*front)->bytesRecorded.load(std::memory_order_relaxed) == 0) return;
  WaveHeader& h = **front;
  queue_.Pop();
  MarkDone(h);
}

void HeaderQueue::ReturnAll() {
  while (WaveHeader** front = queue_.Front()) {
    WaveHeader& h = **front;
    queue_.Pop();
    MarkDone(h);
  }
  drainOffset_ = 0;
  EndOverrun();
}

std::vector<uint64_t> HeaderQueue::TakeOverruns() {
  std::vector<uint64_t> ended;
  uint64_t frames = 0;
  while (endedOverruns_.TryPop(frames)) ended.push_back(frames);
  const uint64_t spilled = spilledFrames_.exchange(0, std::memory_order_acq_rel);
  if (spilled > 0) ended.push_back(spilled);
  return ended;
}

void HeaderQueue::EndOverrun() {
  if (lostBytes_ == 0) return;
  const uint64_t frames = (lostBytes_ + frameBytes_ - 1) / frameBytes_;
  lostBytes_ = 0;
  if (!endedOverruns_.TryPush(frames)) spilledFrames_.fetch_add(frames, std::memory_order_acq_rel);
}

void FailureFlag::Set(const char* reason) {
  int expected = kClear;
  if (!state_.compare_exchange_strong(expected, kWriting, std::memory_order_acq_rel)) return;
  std::strncpy(reason_, reason ? reason : "", sizeof reason_ - 1);
  reason_[sizeof reason_ - 1] = '\0';
  state_.store(kSet, std::memory_order_release);
}

std::string FailureFlag::Reason() const {
  if (!Failed()) return {};
  return std::string(reason_);
}

}  // namespace varn
