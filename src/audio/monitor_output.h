#pragma once
// Play-through of one channel for listening. The output device is opened in
// the channel's own capture format and plays the capture blocks where they
// are, one segment header per sixth of a block, appended as the analysis
// moves on; a lead-in of silence keeps playback that far behind it. An
// output whose clock runs slower than the capture's, or that stalls, is
// kept within the ring: past it, playback skips ahead (MonitorWrite).

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "archive/archive_channel.h"
#include "audio/capture_channel.h"
#include "audio/wave_service.h"

#include "util/thread_role.h"

namespace varn {

// The longest silence lead-in that is ever set up; the channel's ring may
// allow less (LeadInLimit).
inline constexpr int32_t kMaxBufferDelayMs = 10000;
// Diagnostics line when the lead-in is cut to the ring; the channel follows.
inline constexpr std::string_view kMonitorDelayClampedText = "Monitor delay clamped ch";
// Diagnostics line when playback fell too far behind capture and skipped ahead.
inline constexpr std::string_view kMonitorSkippedText = "Monitor skipped ch";

// How a channel's record button shows that the channel is monitored. The
// window implements it.
class MonitorButtonLook {
 public:
  virtual ~MonitorButtonLook() = default;
  virtual void SetMonitorLook(int ch, bool monitoring) = 0;
};

struct MonitorOutput {
  MonitorOutput() = default;
  // The device goes before the headers and lead-in it may still be playing.
  ~MonitorOutput() { OutDevice.reset(); }

  int32_t MonitorChannel = -1;           // the monitored channel, -1 for none
  int32_t MonDeviceId = kDefaultDevice;  // from MonDeviceName
  int32_t BufferDelayMs = 300;           // BufferDelay: the silence lead-in
  std::shared_ptr<WaveOutStream> OutDevice;
  WaveFormat OutFormat;
  int32_t HeaderCount = 0;  // 6 * B of the monitored channel; 0 after an open
  int32_t LastWritten = -1;
  int64_t LastPosition = -1;              // the stream position of LastWritten
  std::unique_ptr<WaveHeader[]> Headers;  // header i*6+k: segment k of block i
  std::vector<int32_t> Queued;
  // The lead-in goes out in pieces of a segment each (the first takes what
  // is left over), all of the same silence, so MonitorWrite can tell how
  // much of it is still to play.
  std::unique_ptr<WaveHeader[]> LeadIn;  // HeaderCount slots
  int32_t LeadInCount = 0;               // pieces queued at the last start
  std::vector<uint8_t> SilenceBytes;
  int32_t DelayBytes = 0;  // the lead-in as set; the one played may be shorter (LeadInLimit)
  int32_t LeadInUsed = 0;  // bytes of lead-in queued at the last start
  // The last lead-in cut to a channel's ring, so the note is written once.
  int64_t NotedClamp = -1;
  uint64_t Skips = 0;  // times playback skipped ahead, since the program started
};

// Whole frames of the lead-in: round(ms / 1000 * rate) frames of blockAlign
// bytes, so the segments that follow start on a frame.
int32_t LeadInBytes(int32_t bufferDelayMs, uint32_t rate, uint16_t blockAlign);

// The longest lead-in a channel's ring allows, in bytes: every block but the
// one being filled. A longer one would have the device play a block after
// capture has written it anew.
int32_t LeadInLimit(const CaptureChannel& capture);

// Toggles monitoring of `ch` (forceOff: stop monitoring in any case).
// `capture` and `archive` are ch's records; `look` may be null.
void SelectMonitorChannel(MonitorOutput& monitor, int ch, bool forceOff, CaptureChannel& capture,
                          const ArchiveChannel& archive, WaveService& service,
                          MonitorButtonLook* look) VARN_PROGRAM_THREAD;

// Opens (or reuses, when rate and channels match) the output device for the
// monitored channel, whose capture record is `capture`, prepares a header
// per segment and queues the silence lead-in.
void StartMonitor(MonitorOutput& monitor, CaptureChannel& capture, WaveService& service) VARN_PROGRAM_THREAD;

// Stops playback and unprepares every header; with `close` also closes the
// device.
void StopMonitor(MonitorOutput& monitor, bool close) VARN_PROGRAM_THREAD;

// The analysis has finished segment `segment` of block `bufferIndex`, which
// lies at `position` in the run's stream of segments: queues every segment
// from the last written up to that one, in ring order, each once. A segment
// at or before the last written is not played again (an output ahead of
// capture waits for new ones); after a gap longer than the ring minus one
// block (the older segments are gone or being overwritten) playback goes on
// from this one. When more than the ring minus one block would wait in the
// device (lead-in included), the device is reset and playback goes on from
// the lead-in's length before this segment, as far back as the ring allows
// and never to a segment played or older than the first written; the skip
// is noted in the diagnostics file and counted in Skips.
void MonitorWrite(MonitorOutput& monitor, int bufferIndex, int segment, int64_t position) VARN_PROGRAM_THREAD;

}  // namespace varn
