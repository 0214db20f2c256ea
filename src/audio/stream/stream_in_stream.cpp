#include "audio/stream/stream_in_stream.h"

#include <algorithm>

#include "audio/stream/stream_reader.h"

namespace varn {

namespace {

constexpr size_t kChunkFrames = 4096;
// After the buffer first fills, a burst still arriving (the rest of a
// server's connect burst, the first HLS segments at once) is trimmed to the
// aim for this long, rather than steered away over many minutes.
constexpr std::chrono::seconds kSettleTime{4};
// Drops this far apart are one loss.
constexpr std::chrono::milliseconds kLossQuiet{250};
// The reader's note says why (the pacer thread does not build texts).
constexpr const char* kStreamLostText = "the stream failed or ended";

}  // namespace

StreamInStream::StreamInStream(std::shared_ptr<StreamReader> reader, const WaveFormat& format,
                               std::shared_ptr<SimPacer> pacer)
    : WaveInStream(reader->Name(), format),
      reader_(std::move(reader)),
      pacer_(std::move(pacer)),
      lossesAtOpen_(reader_->Losses()),
      scratch_(kChunkFrames * std::max<uint16_t>(format.channels, 1)) {
  // What a reader already running holds is from before this start.
  {
    GateHold hold(gate_);
    skipStale_ = reader_->CurrentState() == StreamReader::State::Playing;
  }
  reader_->SetAttached(true);
  reader_->Want();
  if (pacer_) pacer_->Add(this);
}

StreamInStream::~StreamInStream() { Shutdown(); }

int StreamInStream::Start() {
  if (closed_) return kWaveErrInvalidHandle;
  if (Failed()) return kWaveErrDeviceFailed;
  running_.store(true, std::memory_order_release);
  return kWaveOk;
}

int StreamInStream::Stop() {
  if (closed_) return kWaveErrInvalidHandle;
  GateHold hold(gate_);
  running_.store(false, std::memory_order_release);
  queue_.CompletePartial();
  return kWaveOk;
}

int StreamInStream::Reset() {
  if (closed_) return kWaveErrInvalidHandle;
  GateHold hold(gate_);
  running_.store(false, std::memory_order_release);
  queue_.ReturnAll();
  return kWaveOk;
}

int StreamInStream::Close() {
  if (closed_) return kWaveErrInvalidHandle;
  Shutdown();
  return kWaveOk;
}

void StreamInStream::Shutdown() {
  if (closed_) return;
  quit_.store(true, std::memory_order_release);
  running_.store(false, std::memory_order_release);
  if (pacer_) pacer_->Remove(this);
  GateHold hold(gate_);
  queue_.ReturnAll();
  reader_->SetReleasing(false);
  reader_->SetAttached(false);
  reader_->Want();  // kept a while: a channel that restarts finds it connected
  closed_ = true;
}

std::vector<WaveInStream::Note> StreamInStream::TakeNotes() {
  std::vector<Note> notes;
  Note note;
  while (reader_->TakeNote(note)) notes.push_back(std::move(note));
  return notes;
}

size_t StreamInStream::Release(size_t frames) {
  const size_t channels = Format().channels;
  SampleRing& ring = reader_->Buffer();
  size_t done = 0;
  while (done < frames) {
    const size_t want = std::min(kChunkFrames, frames - done);
    const size_t got = ring.Read(scratch_.data(), want * channels) / channels;
    if (got == 0) break;
    queue_.Fill(reinterpret_cast<const uint8_t*>(scratch_.data()), got * Format().blockAlign);
    done += got;
  }
  return done;
}

bool StreamInStream::Prime(bool ended) {
  SampleRing& ring = reader_->Buffer();
  const size_t channels = Format().channels;
  const size_t fill = ring.Size() / channels;
  const size_t target = reader_->TargetFrames();
  // A stream that ended sends what it has left at once.
  if (fill < target && !(ended && fill > 0)) return false;
  const auto now = std::chrono::steady_clock::now();
  if (fill > target && !ended && reader_->Live()) ring.Read(nullptr, (fill - target) * channels);
  primed_ = true;
  startTime_ = now;
  settleUntil_ = now + kSettleTime;
  released_ = 0;
  reader_->SetReleasing(true);
  return true;
}

void StreamInStream::Pace() {
  if (!running_.load(std::memory_order_acquire) || quit_.load(std::memory_order_acquire)) return;
  if (!gate_.TryEnter()) return;
  StreamReader& reader = *reader_;
  SampleRing& ring = reader.Buffer();
  const size_t channels = Format().channels;
  if (skipStale_) {
    ring.Read(nullptr, ring.Size());
    skipStale_ = false;
  }
  // What the reader dropped while the buffer stays full is one loss, told
  // when the dropping ends, or each second while it goes on.
  const auto now = std::chrono::steady_clock::now();
  if (const uint64_t dropped = reader.TakeDroppedFrames()) {
    pendingLost_ += dropped;
    lastDrop_ = now;
  }
  if (pendingLost_ > 0 &&
      (now - lastDrop_ > kLossQuiet || pendingLost_ >= Format().samplesPerSec)) {
    queue_.ReportLost(pendingLost_);
    pendingLost_ = 0;
  }
  const bool ended = reader.Losses() != lossesAtOpen_;
  if (!primed_ && !Prime(ended)) {
    if (ended && ring.Size() == 0 && !Failed()) failed_.Set(kStreamLostText);
    gate_.Leave();
    return;
  }
  if (now < settleUntil_ && !ended && reader.Live()) {
    const size_t target = reader.TargetFrames();
    const size_t fill = ring.Size() / channels;
    if (fill > target + target / 4) ring.Read(nullptr, (fill - target) * channels);
  }
  const std::chrono::duration<double> elapsed = now - startTime_;
  const uint64_t rate = Format().samplesPerSec;
  uint64_t due = static_cast<uint64_t>(std::max(0.0, elapsed.count()) * static_cast<double>(rate));
  if (due > released_ + rate) released_ = due - rate;  // the pacer itself was held up
  const size_t wanted = static_cast<size_t>(due - std::min(due, released_));
  const size_t got = Release(wanted);
  released_ += got;
  if (got < wanted) {
    if (ended) {
      if (ring.Size() == 0 && !Failed()) failed_.Set(kStreamLostText);
    } else {
      // Ran dry: the device stalls until the buffer holds its aim again.
      primed_ = false;
      reader.SetReleasing(false);
    }
  }
  gate_.Leave();
}

}  // namespace varn
