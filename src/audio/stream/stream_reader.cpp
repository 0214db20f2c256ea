#include "audio/stream/stream_reader.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/stream/stream_decoder.h"
#include "audio/stream/stream_title.h"

namespace varn {

namespace {

// The buffer holds three times its aim, and at least eight seconds more:
// room for the burst a server sends on connect and for whole HLS segments.
size_t RingSamples(int rate, int channels, int bufferMs) {
  const int64_t ms = std::max<int64_t>(int64_t{bufferMs} * 3, int64_t{bufferMs} + 8000);
  return static_cast<size_t>(ms * rate / 1000) * static_cast<size_t>(channels);
}

}  // namespace

StreamReader::StreamReader(std::string name, std::string url, int rate, int channels, int bufferMs)
    : name_(std::move(name)),
      url_(std::move(url)),
      rate_(rate),
      channels_(channels == 1 ? 1 : 2),
      targetFrames_(static_cast<size_t>(int64_t{std::max(bufferMs, 1)} * rate / 1000)),
      ring_(RingSamples(rate, channels == 1 ? 1 : 2, std::max(bufferMs, 1))),
      wantedAt_(NowTicks()),
      steer_(rate, targetFrames_) {
  thread_ = std::thread([this] { Run(); });
}

StreamReader::~StreamReader() {
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void StreamReader::RequestStop() {
  quit_.store(true, std::memory_order_release);
  std::lock_guard lock(mutex_);
  if (decoder_) decoder_->Abort();
}

int64_t StreamReader::NowTicks() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string StreamReader::LastFailure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

bool StreamReader::Wanted() const {
  if (attached_.load(std::memory_order_acquire)) return true;
  return NowTicks() - wantedAt_.load(std::memory_order_acquire) <
         std::chrono::milliseconds(kStreamIdleKeep).count();
}

bool StreamReader::Pause(std::chrono::milliseconds d) const {
  const auto end = std::chrono::steady_clock::now() + d;
  while (!quit_.load(std::memory_order_acquire)) {
    if (std::chrono::steady_clock::now() >= end) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void StreamReader::Note(bool title, std::string text) {
  notes_.TryPush(StreamNote{title, std::move(text)});  // a full ring drops the note
}

void StreamReader::Run() {
  ThreadRoleScope role(gStreamThreadRole);
  while (!quit_.load(std::memory_order_acquire)) {
    if (!Wanted()) {
      Pause(std::chrono::milliseconds(100));
      continue;
    }
    Session();
    if (CurrentState() == State::Down) Pause(kStreamRetryDelay);
  }
  finished_.store(true, std::memory_order_release);
}

void StreamReader::Fail(const std::string& reason) {
  {
    std::lock_guard lock(mutex_);
    failure_ = reason;
  }
  // The capture stream that was attached plays out what it holds and
  // fails: nothing of a later connection may follow that in its buffer.
  attached_.store(false, std::memory_order_release);
  losses_.fetch_add(1, std::memory_order_acq_rel);
  state_.store(State::Down, std::memory_order_release);
  // A stream that stays away says so once, not every second.
  if (reason != lastNoted_) Note(false, "lost: " + reason);
  lastNoted_ = reason;
}

void StreamReader::Session() {
  if (CurrentState() != State::Fresh) state_.store(State::Connecting, std::memory_order_release);
  StreamDecoder decoder(rate_, channels_);
  {
    std::lock_guard lock(mutex_);
    if (quit_.load(std::memory_order_acquire)) return;
    decoder_ = &decoder;
  }
  const auto forget = [&] {
    std::lock_guard lock(mutex_);
    decoder_ = nullptr;
  };
  if (!decoder.Open(url_)) {
    forget();
    if (!quit_.load(std::memory_order_acquire)) Fail(decoder.Reason());
    return;
  }
  lastNoted_.clear();
  steer_.Reset();
  framesSinceSteer_ = 0;
  live_.store(decoder.Live(), std::memory_order_release);
  Note(false,
       std::string(Live() ? "connected: " : "connected (not live): ") + decoder.FormatText());
  state_.store(State::Playing, std::memory_order_release);
  std::vector<int16_t> samples;
  bool failed = false;
  while (!quit_.load(std::memory_order_acquire) && Wanted()) {
    samples.clear();
    if (!decoder.Next(samples)) {
      failed = true;
      break;
    }
    if (std::string title = decoder.TakeTitle(); !title.empty())
      Note(true, CleanStreamTitle(title));
    Push(samples.data(), samples.size());
    SteerDrift(decoder);
  }
  forget();
  if (steeredFrames_ != 0) {
    Note(false, "drift steering moved the stream by " + std::to_string(steeredFrames_) +
                    " frames over the connection");
    steeredFrames_ = 0;
  }
  if (quit_.load(std::memory_order_acquire)) return;
  if (failed) {
    Fail(decoder.Reason());
  } else {
    // No channel wants it any more: the next want connects afresh.
    state_.store(State::Fresh, std::memory_order_release);
  }
}

void StreamReader::Push(const int16_t* samples, size_t count) {
  if (count == 0) return;
  if (!attached_.load(std::memory_order_acquire)) {
    // Kept connected for a channel's retry: a file is not fetched again and
    // again meanwhile.
    if (!Live()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return;
  }
  // A file or a finished playlist is read no faster than it is played: it
  // waits for room rather than lose audio.
  while (!Live() && ring_.Capacity() - ring_.Size() < count && attached_.load() &&
         !quit_.load(std::memory_order_acquire))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const size_t written = ring_.Write(samples, count);
  if (written < count)
    dropped_.fetch_add((count - written) / static_cast<size_t>(channels_),
                       std::memory_order_acq_rel);
  framesSinceSteer_ += count / static_cast<size_t>(channels_);
}

void StreamReader::SteerDrift(StreamDecoder& decoder) {
  if (framesSinceSteer_ < static_cast<uint64_t>(rate_)) return;
  framesSinceSteer_ = 0;
  if (!releasing_.load(std::memory_order_acquire) || !Live()) {
    steer_.Reset();
    return;
  }
  const int delta = steer_.Next(ring_.Size() / static_cast<size_t>(channels_));
  if (delta != 0 && decoder.Steer(delta, rate_)) steeredFrames_ += delta;
}

}  // namespace varn
