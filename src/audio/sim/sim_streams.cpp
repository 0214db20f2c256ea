#include "audio/sim/sim_streams.h"

#include <algorithm>
#include <cstring>

namespace varn {

namespace {
constexpr size_t kChunkFrames = 4096;

// Frames due at `rate` for the time since `start`.
uint64_t FramesSince(std::chrono::steady_clock::time_point start, double rate) {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return static_cast<uint64_t>(elapsed.count() * rate);
}
}  // namespace

void PlayedTap::Append(const uint8_t* data, size_t bytes) {
  std::lock_guard lock(mutex_);
  bytes_.insert(bytes_.end(), data, data + bytes);
}

std::vector<uint8_t> PlayedTap::Take() {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t> out;
  out.swap(bytes_);
  return out;
}

SimInStream::SimInStream(std::string deviceName, const WaveFormat& format,
                         std::unique_ptr<SimSignal> signal, std::shared_ptr<SimPacer> pacer)
    : WaveInStream(std::move(deviceName), format),
      signal_(std::move(signal)),
      pacer_(std::move(pacer)),
      scratch_(kChunkFrames * std::max<uint16_t>(format.channels, 1)) {
  if (pacer_) pacer_->Add(this);
}

SimInStream::~SimInStream() { Shutdown(); }

int SimInStream::Start() {
  if (closed_) return kWaveErrInvalidHandle;
  if (Failed()) return kWaveErrDeviceFailed;
  GateHold hold(gate_);
  if (!running_.load(std::memory_order_relaxed)) {
    startTime_ = std::chrono::steady_clock::now();
    producedSinceStart_ = 0;
    running_.store(true, std::memory_order_release);
  }
  return kWaveOk;
}

int SimInStream::Stop() {
  if (closed_) return kWaveErrInvalidHandle;
  GateHold hold(gate_);
  running_.store(false, std::memory_order_release);
  queue_.CompletePartial();
  return kWaveOk;
}

int SimInStream::Reset() {
  if (closed_) return kWaveErrInvalidHandle;
  GateHold hold(gate_);
  running_.store(false, std::memory_order_release);
  queue_.ReturnAll();
  return kWaveOk;
}

int SimInStream::Close() {
  if (closed_) return kWaveErrInvalidHandle;
  Shutdown();
  return kWaveOk;
}

void SimInStream::Shutdown() {
  quit_.store(true, std::memory_order_release);
  running_.store(false, std::memory_order_release);
  if (pacer_) pacer_->Remove(this);
  GateHold hold(gate_);  // a test's thread may still be producing
  queue_.ReturnAll();
  closed_ = true;
}

size_t SimInStream::Produce(size_t frames) {
  if (!gate_.TryEnter()) return 0;
  const size_t done = ProduceFrames(frames);
  gate_.Leave();
  return done;
}

size_t SimInStream::ProduceFrames(size_t frames) {
  if (!running_.load(std::memory_order_acquire) || quit_.load(std::memory_order_acquire) ||
      Failed())
    return 0;
  const size_t channels = Format().channels;
  const size_t frameBytes = Format().blockAlign;
  if (channels == 0 || scratch_.size() < kChunkFrames * channels) return 0;
  size_t done = 0;
  while (done < frames) {
    const size_t n = std::min(kChunkFrames, frames - done);
    signal_->Render(scratch_.data(), n);
    queue_.Fill(reinterpret_cast<const uint8_t*>(scratch_.data()), n * frameBytes);
    done += n;
  }
  producedSinceStart_ += done;
  return done;
}

void SimInStream::Pace() {
  if (paused_.load(std::memory_order_acquire) || !running_.load(std::memory_order_acquire)) return;
  if (!gate_.TryEnter()) return;
  const uint64_t due = FramesSince(startTime_, Format().samplesPerSec);
  if (due > producedSinceStart_) {
    // After a long stall (a suspended machine) a real device would not
    // deliver the gap either: produce at most one second at once.
    uint64_t n = due - producedSinceStart_;
    if (n > Format().samplesPerSec) {
      producedSinceStart_ = due - Format().samplesPerSec;
      n = Format().samplesPerSec;
    }
    ProduceFrames(static_cast<size_t>(n));
  }
  gate_.Leave();
}

SimOutStream::SimOutStream(std::string deviceName, const WaveFormat& format,
                           std::shared_ptr<SimPacer> pacer, std::shared_ptr<PlayedTap> tap,
                           double rate)
    : WaveOutStream(std::move(deviceName), format),
      pacer_(std::move(pacer)),
      tap_(std::move(tap)),
      rate_(rate > 0.0 ? rate : 1.0) {
  if (pacer_) {
    // A second's worth, the most one turn plays after a stall.
    deviceBuffer_.resize(static_cast<size_t>(format.samplesPerSec) * format.blockAlign + 1);
    start_ = std::chrono::steady_clock::now();
    pacer_->Add(this);
  }
}

SimOutStream::~SimOutStream() { Shutdown(); }

int SimOutStream::Reset() {
  if (closed_) return kWaveErrInvalidHandle;
  GateHold hold(gate_);
  queue_.ReturnAll();
  return kWaveOk;
}

int SimOutStream::Close() {
  if (closed_) return kWaveErrInvalidHandle;
  Shutdown();
  return kWaveOk;
}

void SimOutStream::Shutdown() {
  quit_.store(true, std::memory_order_release);
  if (pacer_) pacer_->Remove(this);
  GateHold hold(gate_);
  queue_.ReturnAll();
  closed_ = true;
}

size_t SimOutStream::Consume(size_t frames) {
  if (quit_.load(std::memory_order_acquire) || Failed()) return 0;
  if (rate_ != 1.0) {
    owed_ += static_cast<double>(frames) * rate_;
    frames = static_cast<size_t>(owed_);
    owed_ -= static_cast<double>(frames);
  }
  if (!gate_.TryEnter()) return 0;
  const size_t taken =
      queue_.Drain(frames * Format().blockAlign, [this](const uint8_t* data, size_t bytes) {
        if (tap_) tap_->Append(data, bytes);
      });
  gate_.Leave();
  return taken;
}

void SimOutStream::Pace() {
  if (quit_.load(std::memory_order_acquire) || paused_.load(std::memory_order_acquire)) return;
  const uint64_t rate = Format().samplesPerSec;
  const uint64_t due = FramesSince(start_, static_cast<double>(rate) * rate_);
  if (due <= played_) return;
  // Frames with nothing queued are silence: the device does not wait.
  const uint64_t frames = std::min(due - played_, rate);
  played_ = due;
  if (!gate_.TryEnter()) return;
  size_t at = 0;
  uint64_t sum = 0;
  queue_.Drain(frames * Format().blockAlign, [&](const uint8_t* data, size_t bytes) {
    const size_t n = std::min(bytes, deviceBuffer_.size() - at);
    std::memcpy(deviceBuffer_.data() + at, data, n);
    for (size_t i = 0; i < n; ++i) sum += deviceBuffer_[at + i];
    at += n;
  });
  gate_.Leave();
  playedSum_.fetch_add(sum, std::memory_order_acq_rel);
}

}  // namespace varn
