#include "audio/header_queue.h"

#include <algorithm>
#include <cstring>

#include "audio/wave_service.h"

namespace varn {

namespace {
void MarkDone(WaveHeader& h) { h.flags.fetch_or(kWaveDone, std::memory_order_release); }
}  // namespace

bool HeaderQueue::IsQueued(const WaveHeader& header) {
  const uint32_t f = header.flags.load(std::memory_order_acquire);
  return (f & kWaveInQueue) != 0 && (f & kWaveDone) == 0;
}

int HeaderQueue::Prepare(WaveHeader& header) {
  if (header.data == nullptr && header.bufferLength > 0) return kWaveErrInvalidParam;
  if (IsQueued(header)) return kWaveErrStillPlaying;
  header.flags.fetch_or(kWavePrepared, std::memory_order_acq_rel);
  return kWaveOk;
}

int HeaderQueue::Unprepare(WaveHeader& header) {
  if (IsQueued(header)) return kWaveErrStillPlaying;
  header.flags.fetch_and(~(kWavePrepared | kWaveInQueue), std::memory_order_acq_rel);
  return kWaveOk;
}

int HeaderQueue::Add(WaveHeader& header) {
  if ((header.flags.load(std::memory_order_acquire) & kWavePrepared) == 0)
    return kWaveErrUnprepared;
  std::lock_guard lock(mutex_);
  if (IsQueued(header)) return kWaveErrStillPlaying;
  header.bytesRecorded.store(0, std::memory_order_relaxed);
  header.flags.fetch_and(~kWaveDone, std::memory_order_acq_rel);
  header.flags.fetch_or(kWaveInQueue, std::memory_order_acq_rel);
  queue_.push_back(&header);
  return kWaveOk;
}

size_t HeaderQueue::Fill(const uint8_t* data, size_t bytes) {
  std::lock_guard lock(mutex_);
  while (bytes > 0 && !queue_.empty()) {
    WaveHeader& h = *queue_.front();
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
      EndOverrunLocked();
    }
    if (recorded + n >= h.bufferLength) {
      MarkDone(h);
      queue_.pop_front();
    }
  }
  lostBytes_ += bytes;
  return bytes;
}

size_t HeaderQueue::Drain(size_t maxBytes,
                          const std::function<void(const uint8_t*, size_t)>& sink) {
  std::lock_guard lock(mutex_);
  size_t handed = 0;
  while (!queue_.empty()) {
    WaveHeader& h = *queue_.front();
    const size_t left = h.bufferLength > drainOffset_ ? h.bufferLength - drainOffset_ : 0;
    const size_t n = std::min(left, maxBytes - handed);
    if (n > 0) {
      sink(h.data + drainOffset_, n);
      drainOffset_ += n;
      handed += n;
    }
    if (n < left) break;  // the device takes no more now
    MarkDone(h);
    queue_.pop_front();
    drainOffset_ = 0;
  }
  return handed;
}

void HeaderQueue::CompletePartial() {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return;
  WaveHeader& h = *queue_.front();
  if (h.bytesRecorded.load(std::memory_order_relaxed) == 0) return;
  MarkDone(h);
  queue_.pop_front();
}

void HeaderQueue::ReturnAll() {
  std::lock_guard lock(mutex_);
  for (WaveHeader* h : queue_) MarkDone(*h);
  queue_.clear();
  drainOffset_ = 0;
  EndOverrunLocked();
}

bool HeaderQueue::Empty() const {
  std::lock_guard lock(mutex_);
  return queue_.empty();
}

size_t HeaderQueue::Size() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

std::vector<uint64_t> HeaderQueue::TakeOverruns() {
  std::lock_guard lock(mutex_);
  std::vector<uint64_t> ended;
  ended.swap(endedOverruns_);
  return ended;
}

void HeaderQueue::EndOverrunLocked() {
  if (lostBytes_ == 0) return;
  endedOverruns_.push_back((lostBytes_ + frameBytes_ - 1) / frameBytes_);
  lostBytes_ = 0;
}

void FailureFlag::Set(const std::string& reason) {
  std::lock_guard lock(mutex_);
  if (failed_) return;
  failed_ = true;
  reason_ = reason;
}

bool FailureFlag::Failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

std::string FailureFlag::Reason() const {
  std::lock_guard lock(mutex_);
  return reason_;
}

}  // namespace varn
