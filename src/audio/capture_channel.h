#pragma once
// The capture record of one channel: its format, its device and the ring of
// buffers the device fills. The blocks are read in place by the analysis and
// the monitor output; only the archive gets a (gain-adjusted) copy.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/segment_table.h"
#include "audio/wave_format.h"
#include "audio/wave_header.h"

namespace varn {

class WaveInStream;  // an open capture device (audio/wave_service.h)

struct CaptureChannel {
  CaptureChannel() = default;
  CaptureChannel(CaptureChannel&&) = default;
  CaptureChannel& operator=(CaptureChannel&&) = default;
  // A record dropped while its device still runs lets the device go first:
  // members go in reverse order, and the device's thread must not fill
  // blocks or headers that are already freed.
  ~CaptureChannel() { Device.reset(); }

  int32_t BitRate = 0;           // kbit/s of the MP3 archive; 0 = WAV
  int32_t SamplesPerBuffer = 0;  // S
  int32_t FormatCode = 3;        // 2 mono 16-bit, 3 stereo 16-bit
  WaveFormat Format;
  std::shared_ptr<WaveInStream> Device;  // open device, or null
  int32_t DeviceId = -1;
  int32_t BufferSec = 3;
  int32_t BufferCount = 0;  // B
  std::unique_ptr<WaveHeader[]> Headers;
  int32_t NextBuffer = 0;  // the buffer expected to complete next
  // The newest completed buffer, kept from the device until the next
  // collection (the analysis reads its last segment in between); -1 for none.
  int32_t HeldBuffer = -1;
  float RecLevelDb = 0.0f;     // gain in dB of the analysis and archive copies
  int32_t SampleRate = 44100;  // RecFreq_: the rate the device is opened with

  // Run bookkeeping, reset by every start.
  uint64_t LostFrames = 0;        // frames lost to overruns (no queued buffer)
  uint64_t BuffersCompleted = 0;  // times ProgressionRecord advanced NextBuffer
  bool FailureReported = false;   // the device's failure is in the diagnostics
  bool ArchiveStarted = false;    // StartArchive was called; StopArchive is due
  std::string StreamTitle;        // a network stream's now-playing title (cleaned)

  // Sample storage: B blocks of S frames each, interleaved 16-bit PCM
  // (SampleBlocks), and the archive's copies (RecordBlocks, archiving only).
  std::vector<int16_t> SampleBlocks;
  std::vector<int16_t> RecordBlocks;
  SegmentTable Segments;

  int ChannelCount() const { return Format.channels; }
  // Block i's first sample (B blocks of S * channels samples each).
  int16_t* Block(int i) {
    return SampleBlocks.data() + static_cast<size_t>(i) * SamplesPerBuffer * Format.channels;
  }
  const int16_t* Block(int i) const {
    return SampleBlocks.data() + static_cast<size_t>(i) * SamplesPerBuffer * Format.channels;
  }
};

}  // namespace varn
