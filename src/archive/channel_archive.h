#pragma once
// The archive of one channel: the files a run writes (a new one at every
// start and at the top of every hour), the disk buffer in front of them and
// the channel's MP3 encoder. Capture drives it through ChannelRecorder; the
// update cycle calls HourlyRollover on every tick.
//
// In the running program the archive worker feeds it (archive_worker.h):
// StartArchive runs on the program's thread while the worker has nothing of
// this channel's, everything else on the worker's thread. The file the
// blocks go to is kept here, apart from the ArchiveChannel record, which is
// the program's.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_channel.h"
#include "archive/channel_recorder.h"
#include "archive/disk_buffer.h"
#include "archive/mp3acm.h"
#include "util/clock.h"
#include "util/thread_role.h"

namespace varn {

class ChannelArchive final : public ChannelRecorder {
 public:
  // `record` is the channel's ArchiveChannel (Capturing and ArcOn live
  // there); it must outlive this object. ch is the 0-based channel index.
  ChannelArchive(int32_t ch, ArchiveChannel& record, const Clock& clock, std::string dataFolder);

  void SetDataFolder(std::string dataFolder) { dataFolder_ = std::move(dataFolder); }

  // Names the first file, writes its WAV header, sizes the disk buffer and
  // opens the encoder. When the encoder will not open (a rate MP3 cannot
  // carry), the run is archived as WAV and 0 is returned.
  int32_t StartArchive(const ArchiveStart& start) override;
  // The same, naming the first file by `at`, the time the run began.
  int32_t StartArchiveAt(const ArchiveStart& start, const ClockReading& at) VARN_ARCHIVE_THREAD;
  void FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) override;
  // `frames` of digital silence where audio was lost or never arrived, so
  // that what follows keeps its place in time.
  void FeedSilence(uint64_t frames) VARN_ARCHIVE_THREAD;
  // Part of a block (the rest follows a silence): audio that does not fall
  // on the encoder's chunks.
  void FeedPart(const uint8_t* bytes, int32_t byteCount) VARN_ARCHIVE_THREAD;
  // Hands the encoder's last frames to the disk buffer, closes the encoder
  // and writes out everything buffered.
  void StopArchive() override;

  // A new file begins (top of the hour): a new path, a fresh WAV header,
  // and the old file gets its buffered bytes with the next block.
  void BeginNewFile();
  // The same with the path chosen already (NextFilePath); the record's
  // CurrentPath is left to whoever chose it.
  void BeginNewFileAt(const std::string& path);
  // The same, naming the file by `at`, the time it began.
  void BeginNewFileNamed(const ClockReading& at) VARN_ARCHIVE_THREAD;
  // The name a new file would get now (creates the channel's folder).
  std::string NextFilePath() const;
  // The file the next block goes to.
  const std::string& FilePath() const { return currentPath_; }
  // The files that are complete since the last call (closed for good: the
  // hour's file once its last bytes are written, every file at the stop),
  // for whoever ships them elsewhere. Only files that exist.
  std::vector<std::string> TakeFinishedFiles() VARN_ARCHIVE_THREAD;

  // True while a started run archives (ArcOn was set at its start).
  bool Archiving() const { return archiving_; }
  int32_t BitRate() const { return bitRate_; }
  int32_t Channel() const { return ch_; }
  ArchiveChannel& Record() { return record_; }
  const DiskBuffer& Buffer() const { return buffer_; }
  // Bytes written to this channel's files since the program started; any
  // thread may read it while the worker writes.
  uint64_t BytesWritten() const { return bytesWritten_.load(std::memory_order_relaxed); }
  // Frames of audio the disk could not take (writes that failed) since the
  // program started; any thread may read it.
  uint64_t DiskLostFrames() const { return diskLost_.load(std::memory_order_relaxed); }
  // True from the first write the disk refused until one succeeds again (the
  // disk buffer's WriteFailing); any thread may read it.
  bool WriteFailing() const { return writeFailing_.load(std::memory_order_relaxed); }
  // The channel's encoder, made on first use and kept.
  C_mp3acm& Encoder();
  const Clock& GetClock() const { return clock_; }

 private:
  void Finished(const std::string& path);
  // WriteDiskBuffer, counting what reached the file.
  int32_t Append(const uint8_t* source, int32_t length, const std::string& fileName, int32_t flush);
  void WriteHeader();
  // PCM bytes to the file: appended to a WAV file, or encoded in chunks of
  // the run's block size (the encoder takes one size only).
  void WritePcm(const uint8_t* bytes, int32_t byteCount, int32_t bufferIndex);
  void EncodeChunk(const uint8_t* bytes, int32_t byteCount, int32_t bufferIndex);
  void EncodeStaged(bool final, int32_t bufferIndex);
  void WriteSilence(uint64_t frames);
  // A new file began: the old one gets its last bytes before the next ones.
  void TakeRollover();
  // Notes what a failed write dropped: the audio among it counts as lost
  // (the disk buffer writes the hole as silence once the disk is back).
  void CountDropped();
  int32_t ChunkBytes();
  uint64_t BytesToFrames(uint64_t bytes) const;

  int32_t ch_;
  ArchiveChannel& record_;
  const Clock& clock_;
  std::string dataFolder_;
  DiskBuffer buffer_;
  std::unique_ptr<C_mp3acm> encoder_;
  std::vector<uint8_t> encoded_;
  std::string currentPath_;
  std::vector<std::string> openFiles_;  // begun and not yet complete, oldest first
  std::vector<std::string> finished_;
  bool archiving_ = false;
  int32_t bitRate_ = 0;
  int32_t rate_ = 0;
  int32_t bits_ = 16;
  int32_t channels_ = 0;
  int32_t blockAlign_ = 4;
  int32_t chunkBytes_ = 0;        // the encoder's chunk: one capture block
  std::vector<uint8_t> staged_;   // PCM waiting for a whole chunk (after a silence)
  uint64_t flushesSeen_ = 0;      // the disk buffer's flush count at the last look
  uint64_t droppedSeen_ = 0;      // and its dropped bytes
  uint64_t silenceBuffered_ = 0;  // silence frames given since the last flush
  std::atomic<uint64_t> bytesWritten_{0};
  std::atomic<uint64_t> diskLost_{0};
  std::atomic<bool> writeFailing_{false};
};

// Starts a new file for every channel that captures and archives.
void RolloverArchives(std::span<ChannelArchive* const> archives);

// The top-of-the-hour check of the update cycle, and the once-per-second
// gate the cycle shares for its other once-per-second work. Call it on every
// tick. Only ticks with 0.01 < t < 86399.99 (t: local seconds since
// midnight) count. On the first tick of each new whole second s, the hour
// is new when the local hour of s (date and hour, so midnight and a stall of
// whole days count) differs from that of the last processed second. A stall
// over the top of an hour thus still starts new files, late; the first tick
// after a start or Reset, having nothing to compare with, counts only when s
// is itself the top of an hour.
class HourlyRollover {
 public:
  struct Step {
    bool newSecond = false;
    bool newHour = false;
  };

  // One tick's reading. Does not touch archives.
  Step Advance(const ClockReading& now);
  // Advance, then RolloverArchives when the hour is new. True when new files
  // started.
  bool Tick(const Clock& clock, std::span<ChannelArchive* const> archives);
  // Back to "no last processed second".
  void Reset() { last_.reset(); }

 private:
  struct Processed {
    int64_t second = 0;  // local seconds since 1970-01-01
    int64_t hour = 0;    // local hours since 1970-01-01
  };
  std::optional<Processed> last_;
};

}  // namespace varn
