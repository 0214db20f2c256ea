#pragma once
// What capture asks of a channel's archive: start it when the device starts,
// give it every completed buffer (the gain-adjusted copy, exactly S frames),
// and stop it when the device stops. The archive implements it.

#include <cstdint>

namespace varn {

struct ArchiveStart {
  int32_t rate = 0;
  int32_t bits = 16;
  int32_t channels = 0;
  int32_t blockAlign = 0;
  int32_t bitRate = 0;           // requested; 0 = WAV
  int32_t samplesPerBuffer = 0;  // S: every block fed holds this many frames
  bool archiveOn = false;        // ArcOn at this start
};

class ChannelRecorder {
 public:
  virtual ~ChannelRecorder() = default;
  // At capture start: names the first file, writes its header, sizes the
  // disk buffer and opens the encoder. Returns the bit rate the run really
  // archives with (0 = WAV, for example when the encoder cannot start).
  virtual int32_t StartArchive(const ArchiveStart& start) = 0;
  // One completed capture buffer n, byteCount = block align * S.
  virtual void FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) = 0;
  // The same, with the time its last frame was captured (steady seconds):
  // an archive that keeps its files on time fills a hole before it.
  virtual void FeedTimedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount,
                              double capturedEnd) {
    (void)capturedEnd;
    FeedBlock(bufferIndex, bytes, byteCount);
  }
  // At capture stop: closes the encoder (its last frames included) and
  // flushes the disk buffer.
  virtual void StopArchive() = 0;
};

}  // namespace varn
