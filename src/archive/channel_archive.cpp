#include "archive/channel_archive.h"

#include <algorithm>
#include <cmath>

#include "archive/archive_texts.h"
#include "archive/file_access.h"
#include "archive/record_path.h"
#include "archive/wav_file.h"
#include "log/event_log.h"
#include "util/error_catch.h"

namespace varn {

namespace {

constexpr int32_t kEncodedBytesPerKbps = 182;

void Diagnostic(const std::string& text) { WriteLogLine(text, true); }

std::string Num(int64_t v) { return std::to_string(v); }

}  // namespace

ChannelArchive::ChannelArchive(int32_t ch, ArchiveChannel& record, const Clock& clock,
                               std::string dataFolder)
    : ch_(ch), record_(record), clock_(clock), dataFolder_(std::move(dataFolder)) {}

int32_t ChannelArchive::Append(const uint8_t* source, int32_t length, const std::string& fileName,
                               int32_t flush) {
  const uint64_t before = buffer_.Written;
  const int32_t accepted = WriteDiskBuffer(buffer_, ch_, source, length, fileName, flush);
  bytesWritten_.fetch_add(buffer_.Written - before, std::memory_order_relaxed);
  writeFailing_.store(buffer_.WriteFailing, std::memory_order_relaxed);
  return accepted;
}

void ChannelArchive::WriteHeader() {
  ClearFileError();
  if (WriteWavHeader(rate_, bits_, channels_, currentPath_, 0)) {
    bytesWritten_.fetch_add(kWavHeaderBytes, std::memory_order_relaxed);
    return;
  }
  // The disk buffer writes it again with its first data; the reason is
  // for the operator now.
  Diagnostic(WithLastFileError("WriteWavHeader err pl=" + Num(ch_) + " FN=" + currentPath_));
}

C_mp3acm& ChannelArchive::Encoder() {
  if (!encoder_) encoder_ = std::make_unique<C_mp3acm>();
  return *encoder_;
}

int32_t ChannelArchive::StartArchive(const ArchiveStart& start) {
  OnArchiveThread();  // whoever drives the archive directly is its writer
  return StartArchiveAt(start, clock_.Now());
}

int32_t ChannelArchive::StartArchiveAt(const ArchiveStart& start, const ClockReading& at) {
  // A run that was never stopped still holds buffered audio and encoder
  // frames: write them out before the buffer is reset.
  if (archiving_) StopArchive();
  return Trapped<int32_t>(0, [&] {
    archiving_ = start.archiveOn;
    bitRate_ = start.bitRate < 1 ? 0 : start.bitRate;
    rate_ = start.rate;
    bits_ = start.bits;
    channels_ = start.channels;
    blockAlign_ = std::max<int32_t>(start.blockAlign, 1);
    chunkBytes_ = std::max<int32_t>(start.samplesPerBuffer, 0) * blockAlign_;
    staged_.clear();
    silenceBuffered_ = 0;
    record_.RolloverPending = 0;
    if (!archiving_) {
      // Nothing is named, written or encoded in this run.
      buffer_ = DiskBuffer{};
      writeFailing_.store(false, std::memory_order_relaxed);
      return bitRate_;
    }
    if (bitRate_ > 0) {
      WavInfo info;
      info.Valid = 1;
      info.SampleRate = rate_;
      info.BitsPerSample = static_cast<int16_t>(bits_);
      info.Channels = static_cast<int16_t>(channels_);
      info.BlockAlign = start.blockAlign;
      info.FormatCode = channels_ == 1 ? 2 : 3;
      info.FormatTag = 1;
      C_mp3acm& encoder = Encoder();
      if (encoder.EncInit(bitRate_, &info)) {
        encoder.EncSizeFixed(1);
      } else {
        // MP3 cannot carry this run (96000 Hz, say): keep the audio as WAV
        // rather than lose it.
        WriteLogLine(std::string(kEncoderInitFailed) + std::to_string(ch_ + 1), false);
        bitRate_ = 0;
      }
    }
    record_.Extension = bitRate_ > 0 ? ".mp3" : ".wav";
    currentPath_ = MakeRecordPath(ch_, dataFolder_, record_.Extension, at);
    record_.CurrentPath = currentPath_;
    openFiles_.assign(1, currentPath_);
    if (bitRate_ == 0) WriteHeader();
    ResetDiskBuffer(buffer_, bitRate_, rate_, channels_);
    flushesSeen_ = buffer_.Flushes;
    droppedSeen_ = buffer_.Dropped;
    return bitRate_;
  });
}

void ChannelArchive::TakeRollover() {
  if (record_.RolloverPending != 1) return;
  Append(nullptr, 0, "", 1);
  CountDropped();
  // Every file before the current one has its last bytes now.
  while (openFiles_.size() > 1) {
    Finished(openFiles_.front());
    openFiles_.erase(openFiles_.begin());
  }
  record_.RolloverPending = 0;
}

void ChannelArchive::FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) {
  if (!archiving_) return;
  TrappedStep([&] {
    try {
      TakeRollover();
      WritePcm(bytes, byteCount, bufferIndex);
      CountDropped();
    } catch (...) {
      Diagnostic("zrec ProgressionRecord err " + currentPath_);
      throw;
    }
  });
}

void ChannelArchive::FeedSilence(uint64_t frames) {
  if (!archiving_ || frames == 0) return;
  TrappedStep([&] {
    TakeRollover();
    WriteSilence(frames);
  });
}

void ChannelArchive::FeedPart(const uint8_t* bytes, int32_t byteCount) {
  if (!archiving_ || byteCount <= 0) return;
  TrappedStep([&] {
    TakeRollover();
    WritePcm(bytes, byteCount, -1);
    CountDropped();
  });
}

void ChannelArchive::WriteSilence(uint64_t frames) {
  // A second at a time: the disk buffer takes at most its capacity at once.
  const uint64_t step = std::max<uint64_t>(
      1, std::min<uint64_t>(static_cast<uint64_t>(std::max(rate_, 1)),
                            static_cast<uint64_t>(std::max(buffer_.Capacity / 2, 1)) / blockAlign_));
  std::vector<uint8_t> zeros(static_cast<size_t>(step * blockAlign_), 0);
  while (frames > 0) {
    const uint64_t n = std::min(frames, step);
    WritePcm(zeros.data(), static_cast<int32_t>(n * blockAlign_), -1);
    CountDropped();
    silenceBuffered_ += n;
    frames -= n;
  }
}

void ChannelArchive::WritePcm(const uint8_t* bytes, int32_t byteCount, int32_t bufferIndex) {
  if (byteCount <= 0) return;
  if (bitRate_ == 0) {
    Append(bytes, byteCount, currentPath_, 0);
    return;
  }
  if (staged_.empty() && bufferIndex >= 0) {
    EncodeChunk(bytes, byteCount, bufferIndex);
    return;
  }
  // After a silence of any length the audio no longer falls on the
  // encoder's chunks (it takes one size only): it is gathered here until
  // a chunk is whole.
  staged_.insert(staged_.end(), bytes, bytes + byteCount);
  EncodeStaged(false, bufferIndex);
}

int32_t ChannelArchive::ChunkBytes() {
  // The size the encoder was first given, else one capture block.
  const int32_t fixed = encoder_ ? encoder_->EncSize : 0;
  return fixed > 0 ? fixed : chunkBytes_;
}

void ChannelArchive::EncodeStaged(bool final, int32_t bufferIndex) {
  const int32_t chunkBytes = ChunkBytes();
  if (final && !staged_.empty() && chunkBytes > 0)
    staged_.resize(((staged_.size() + chunkBytes - 1) / chunkBytes) * chunkBytes, 0);
  size_t used = 0;
  while (chunkBytes > 0 && staged_.size() - used >= static_cast<size_t>(chunkBytes)) {
    EncodeChunk(staged_.data() + used, chunkBytes, bufferIndex);
    used += static_cast<size_t>(chunkBytes);
  }
  staged_.erase(staged_.begin(), staged_.begin() + static_cast<std::ptrdiff_t>(used));
}

void ChannelArchive::EncodeChunk(const uint8_t* bytes, int32_t byteCount, int32_t bufferIndex) {
  const std::string& path = currentPath_;
  const size_t room = static_cast<size_t>(bitRate_) * kEncodedBytesPerKbps + 1;
  if (encoded_.size() < room) encoded_.resize(room);
  int32_t used = 0;
  int32_t produced = 0;
  if (!Encoder().EncProc(bytes, byteCount, encoded_, used, produced)) {
    Diagnostic("mp3enc err EncProc Failed pl=" + Num(ch_) + " l=" + Num(bufferIndex) +
               " FN=" + path);
  } else if (produced <= 0) {
    Diagnostic("mp3enc err tUsed(1)=" + Num(produced) + "pl=" + Num(ch_) + " FN=" + path);
  } else {
    const int32_t accepted = Append(encoded_.data(), produced, path, 0);
    if (used != byteCount)
      Diagnostic("mp3enc err tUsed(0)=" + Num(used) + " tBytes=" + Num(byteCount) +
                 " pl=" + Num(ch_) + " FN=" + path);
    if (accepted == 0) Diagnostic("zrec mp3 write err " + path);
  }
}

uint64_t ChannelArchive::BytesToFrames(uint64_t bytes) const {
  if (bitRate_ == 0) return bytes / static_cast<uint64_t>(blockAlign_);
  // MPEG data at a constant bit rate: its share of a second.
  return static_cast<uint64_t>(static_cast<double>(bytes) * 8.0 * rate_ / (bitRate_ * 1000.0));
}

void ChannelArchive::CountDropped() {
  if (buffer_.Flushes == flushesSeen_) return;
  const uint64_t dropped = buffer_.Dropped - droppedSeen_;
  flushesSeen_ = buffer_.Flushes;
  droppedSeen_ = buffer_.Dropped;
  if (dropped > 0) {
    const uint64_t frames = BytesToFrames(dropped);
    // The silence among what was dropped was never the line's audio.
    const uint64_t audio = frames > silenceBuffered_ ? frames - silenceBuffered_ : 0;
    diskLost_.fetch_add(audio, std::memory_order_relaxed);
  }
  silenceBuffered_ = 0;
}

void ChannelArchive::StopArchive() {
  TrappedStep([&] {
    if (archiving_ && bitRate_ > 0 && encoder_ && encoder_->Stream) {
      // Audio gathered after a silence goes out as a last whole chunk.
      if (!staged_.empty()) EncodeStaged(true, -1);
      // The frames the encoder still holds are the last moments before the
      // stop; they belong to the file the buffer fills (the old one if a
      // new hour began and no block came since).
      int32_t produced = 0;
      if (encoder_->EncFlush(encoded_, produced) && produced > 0) {
        const std::string file = buffer_.FileName.empty() ? currentPath_ : buffer_.FileName;
        if (Append(encoded_.data(), produced, file, 0) == 0)
          Diagnostic("zrec mp3 write err " + currentPath_);
      }
    }
    if (bitRate_ > 0 && encoder_) encoder_->AcmClose();
    if (archiving_) {
      Append(nullptr, 0, "", 1);
      CountDropped();
    }
    for (const std::string& file : openFiles_) Finished(file);
    openFiles_.clear();
    archiving_ = false;
  });
}

void ChannelArchive::BeginNewFile() {
  TrappedStep([&] {
    const std::string path = NextFilePath();
    record_.CurrentPath = path;
    BeginNewFileAt(path);
  });
}

void ChannelArchive::BeginNewFileAt(const std::string& path) {
  TrappedStep([&] {
    record_.RolloverPending = 1;
    currentPath_ = path;
    openFiles_.push_back(path);
    if (bitRate_ == 0) WriteHeader();
  });
}

void ChannelArchive::BeginNewFileNamed(const ClockReading& at) {
  TrappedStep([&] {
    const std::string path = MakeRecordPath(ch_, dataFolder_, record_.Extension, at);
    record_.CurrentPath = path;
    BeginNewFileAt(path);
  });
}

void ChannelArchive::Finished(const std::string& path) {
  if (!path.empty() && FileExists(path)) finished_.push_back(path);
}

std::vector<std::string> ChannelArchive::TakeFinishedFiles() {
  std::vector<std::string> out;
  out.swap(finished_);
  return out;
}

std::string ChannelArchive::NextFilePath() const {
  return MakeRecordPath(ch_, dataFolder_, record_.Extension, clock_);
}

void RolloverArchives(std::span<ChannelArchive* const> archives) {
  for (ChannelArchive* archive : archives) {
    if (!archive) continue;
    const ArchiveChannel& r = archive->Record();
    if (r.Capturing == 1 && r.ArcOn == 1 && archive->Archiving()) archive->BeginNewFile();
  }
}

HourlyRollover::Step HourlyRollover::Advance(const ClockReading& now) {
  Step step;
  const double t = now.secondsSinceMidnight;
  if (!(t > 0.01 && t < 86399.99)) return step;
  const int64_t day = DaysFromCivil(now.local.year, now.local.month, now.local.day);
  const Processed here{day * 86400 + static_cast<int64_t>(std::floor(t)),
                       day * 24 + now.local.hour};
  if (last_ && here.second == last_->second) return step;
  step.newSecond = true;
  // The first second of an hour always counts, so the hour that repeats
  // when daylight saving time ends still gets its own file.
  step.newHour = here.second % 3600 == 0 || (last_ && here.hour != last_->hour);
  last_ = here;
  return step;
}

bool HourlyRollover::Tick(const Clock& clock, std::span<ChannelArchive* const> archives) {
  if (!Advance(clock.Now()).newHour) return false;
  RolloverArchives(archives);
  return true;
}

}  // namespace varn
