#pragma once
// The archive of one channel: the files a run writes (a new one at every
// start and at the top of every hour), the disk buffer in front of them and
// the channel's MP3 encoder. Capture drives it through ChannelRecorder; the
// update cycle calls HourlyRollover on every tick.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_channel.h"
#include "archive/disk_buffer.h"
#include "archive/mp3acm.h"
#include "audio/channel_recorder.h"
#include "util/clock.h"

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
  void FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) override;
  // Hands the encoder's last frames to the disk buffer, closes the encoder
  // and writes out everything buffered.
  void StopArchive() override;

  // A new file begins (top of the hour): a new path, a fresh WAV header,
  // and the old file gets its buffered bytes with the next block.
  void BeginNewFile();

  // True while a started run archives (ArcOn was set at its start).
  bool Archiving() const { return archiving_; }
  int32_t BitRate() const { return bitRate_; }
  int32_t Channel() const { return ch_; }
  ArchiveChannel& Record() { return record_; }
  const DiskBuffer& Buffer() const { return buffer_; }
  // The channel's encoder, made on first use and kept.
  C_mp3acm& Encoder();

 private:
  int32_t ch_;
  ArchiveChannel& record_;
  const Clock& clock_;
  std::string dataFolder_;
  DiskBuffer buffer_;
  std::unique_ptr<C_mp3acm> encoder_;
  std::vector<uint8_t> encoded_;
  bool archiving_ = false;
  int32_t bitRate_ = 0;
  int32_t rate_ = 0;
  int32_t bits_ = 16;
  int32_t channels_ = 0;
};

// Starts a new file for every channel that captures and archives.
void RolloverArchives(std::span<ChannelArchive* const> archives);

// The top-of-the-hour check of the update cycle. Call it on every tick: it
// acts on the first tick of each new whole second of the local clock when
// that second is a multiple of 3600, ignoring the first 0.01 s after
// midnight and the last 0.01 s before it.
class HourlyRollover {
 public:
  // True when this tick started new files.
  bool Tick(const Clock& clock, std::span<ChannelArchive* const> archives);

 private:
  int64_t lastSecond_ = -1;
};

}  // namespace varn
