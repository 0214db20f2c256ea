#include "audio/sim/sim_streams.h"

#include <algorithm>

namespace varn {

namespace {
constexpr auto kTickPeriod = std::chrono::milliseconds(10);
constexpr size_t kChunkFrames = 4096;

// Frames due at `rate` for the time since `start`.
uint64_t FramesSince(std::chrono::steady_clock::time_point start, uint32_t rate) {
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
                         std::unique_ptr<SimSignal> signal, SimPace pace)
    : WaveInStream(std::move(deviceName), format), signal_(std::move(signal)), pace_(pace) {
  if (pace_ == SimPace::RealTime) thread_ = std::thread([this] { Run(); });
}

SimInStream::~SimInStream() { Shutdown(); }

int SimInStream::Start() {
  if (closed_) return kWaveErrInvalidHandle;
  if (Failed()) return kWaveErrDeviceFailed;
  std::lock_guard lock(stateMutex_);
  if (!running_) {
    running_ = true;
    startTime_ = std::chrono::steady_clock::now();
    producedSinceStart_ = 0;
  }
  wake_.notify_all();
  return kWaveOk;
}

int SimInStream::Stop() {
  if (closed_) return kWaveErrInvalidHandle;
  std::lock_guard lock(stateMutex_);
  running_ = false;
  queue_.CompletePartial();
  return kWaveOk;
}

int SimInStream::Reset() {
  if (closed_) return kWaveErrInvalidHandle;
  std::lock_guard lock(stateMutex_);
  running_ = false;
  queue_.ReturnAll();
  return kWaveOk;
}

int SimInStream::Close() {
  if (closed_) return kWaveErrInvalidHandle;
  Shutdown();
  return kWaveOk;
}

void SimInStream::Shutdown() {
  {
    std::lock_guard lock(stateMutex_);
    quit_ = true;
    running_ = false;
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  queue_.ReturnAll();
  closed_ = true;
}

size_t SimInStream::Produce(size_t frames) {
  std::lock_guard lock(stateMutex_);
  return ProduceLocked(frames);
}

size_t SimInStream::ProduceLocked(size_t frames) {
  if (!running_ || quit_ || Failed()) return 0;
  const size_t channels = Format().channels;
  const size_t frameBytes = Format().blockAlign;
  size_t done = 0;
  while (done < frames) {
    const size_t n = std::min(kChunkFrames, frames - done);
    scratch_.resize(n * channels);
    signal_->Render(scratch_.data(), n);
    queue_.Fill(reinterpret_cast<const uint8_t*>(scratch_.data()), n * frameBytes);
    done += n;
  }
  producedSinceStart_ += done;
  return done;
}

void SimInStream::Run() {
  std::unique_lock lock(stateMutex_);
  while (!quit_) {
    wake_.wait_for(lock, kTickPeriod);
    if (quit_ || !running_) continue;
    const uint64_t due = FramesSince(startTime_, Format().samplesPerSec);
    if (due <= producedSinceStart_) continue;
    // After a long stall (a suspended machine) a real device would not
    // deliver the gap either: produce at most one second at once.
    uint64_t n = due - producedSinceStart_;
    if (n > Format().samplesPerSec) {
      producedSinceStart_ = due - Format().samplesPerSec;
      n = Format().samplesPerSec;
    }
    ProduceLocked(static_cast<size_t>(n));
  }
}

SimOutStream::SimOutStream(std::string deviceName, const WaveFormat& format, SimPace pace,
                           std::shared_ptr<PlayedTap> tap)
    : WaveOutStream(std::move(deviceName), format), pace_(pace), tap_(std::move(tap)) {
  if (pace_ == SimPace::RealTime) thread_ = std::thread([this] { Run(); });
}

SimOutStream::~SimOutStream() { Shutdown(); }

int SimOutStream::Reset() {
  if (closed_) return kWaveErrInvalidHandle;
  std::lock_guard lock(stateMutex_);
  queue_.ReturnAll();
  return kWaveOk;
}

int SimOutStream::Close() {
  if (closed_) return kWaveErrInvalidHandle;
  Shutdown();
  return kWaveOk;
}

void SimOutStream::Shutdown() {
  {
    std::lock_guard lock(stateMutex_);
    quit_ = true;
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  queue_.ReturnAll();
  closed_ = true;
}

size_t SimOutStream::Consume(size_t frames) {
  std::lock_guard lock(stateMutex_);
  if (quit_ || Failed()) return 0;
  return queue_.Drain(frames * Format().blockAlign, [this](const uint8_t* data, size_t bytes) {
    if (tap_) tap_->Append(data, bytes);
  });
}

void SimOutStream::Run() {
  std::unique_lock lock(stateMutex_);
  const auto start = std::chrono::steady_clock::now();
  uint64_t played = 0;
  while (!quit_) {
    wake_.wait_for(lock, kTickPeriod);
    if (quit_) break;
    const uint64_t due = FramesSince(start, Format().samplesPerSec);
    if (due <= played) continue;
    // Frames with nothing queued are silence: the device does not wait.
    queue_.Drain((due - played) * Format().blockAlign, [](const uint8_t*, size_t) {});
    played = due;
  }
}

}  // namespace varn
