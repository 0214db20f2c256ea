#include "audio/monitor_output.h"

#include <algorithm>
#include <limits>
#include <string>

#include "audio/capture.h"
#include "log/event_log.h"
#include "util/error_catch.h"
#include "util/numeric.h"

namespace varn {

namespace {

void ClearFlags(WaveHeader& h) { h.flags.store(0, std::memory_order_release); }

// Queues `bytes` of silence as pieces of `piece` bytes, the first taking
// what is left over.
void QueueLeadIn(MonitorOutput& monitor, WaveOutStream& out, int32_t bytes, uint32_t piece) VARN_PROGRAM_THREAD {
  int32_t count = 0;
  if (bytes > 0)
    count = piece > 0
                ? std::clamp<int32_t>(bytes / static_cast<int32_t>(piece), 1, monitor.HeaderCount)
                : 1;
  const uint32_t first =
      static_cast<uint32_t>(std::max(bytes, 0)) - (count > 0 ? count - 1 : 0) * piece;
  if (monitor.SilenceBytes.size() <= first) monitor.SilenceBytes.assign(first + 1, 0);
  // Every header is prepared before any is queued (HeaderQueue::Prepare).
  for (int i = 0; i < count; ++i) {
    WaveHeader& h = monitor.LeadIn[i];
    h.data = monitor.SilenceBytes.data();
    h.bufferLength = i == 0 ? first : piece;
    ClearFlags(h);
    out.Prepare(h);
  }
  for (int i = 0; i < count; ++i) out.Write(monitor.LeadIn[i]);
  monitor.LeadInCount = count;
  monitor.LeadInUsed = std::max(bytes, 0);
}

// Playback has fallen more than the ring minus one block behind capture:
// drops what waits in the device and returns the segment to go on from, up
// to the newest, `g`. `behind` is what waited, in segments and lead-in
// pieces; `unplayed` the segments before `g` that hold current audio and
// were not played.
int32_t SkipAhead(MonitorOutput& monitor, int32_t g, int32_t behind, int32_t unplayed) VARN_PROGRAM_THREAD {
  monitor.OutDevice->Reset();  // every queued header comes back done
  std::fill(monitor.Queued.begin(), monitor.Queued.end(), 0);
  const int32_t count = monitor.HeaderCount;
  const int32_t segmentBytes = static_cast<int32_t>(monitor.Headers[0].bufferLength);
  // The listener keeps the lead-in's delay, without its silence, as far back
  // as the ring allows with a segment to spare (so the next segment does not
  // skip again) and never back into what was played.
  const int32_t delay = segmentBytes > 0 ? monitor.DelayBytes / segmentBytes : 0;
  const int32_t back = std::max(0, std::min({delay, count - 7, unplayed}));
  ++monitor.Skips;
  const double segmentMs = segmentBytes / std::max<double>(monitor.OutFormat.blockAlign, 1) /
                           std::max<double>(monitor.OutFormat.samplesPerSec, 1) * 1000.0;
  WriteLogLine(std::string(kMonitorSkippedText) + std::to_string(monitor.MonitorChannel + 1) +
                   ": playback fell " + std::to_string(RoundToInt32(behind * segmentMs)) +
                   " ms behind capture, more than the capture ring allows; it goes on " +
                   std::to_string(RoundToInt32((back + 1) * segmentMs)) + " ms behind",
               true);
  return (g - back + count) % count;
}

}  // namespace

int32_t LeadInBytes(int32_t bufferDelayMs, uint32_t rate, uint16_t blockAlign) {
  const int32_t ms = std::clamp(bufferDelayMs, 0, kMaxBufferDelayMs);
  const int32_t frames = RoundToInt32(ms / 1000.0 * rate);
  return frames * blockAlign;
}

int32_t LeadInLimit(const CaptureChannel& capture) {
  const int64_t frames =
      static_cast<int64_t>(std::max(capture.BufferCount - 1, 0)) * capture.SamplesPerBuffer;
  return static_cast<int32_t>(
      std::min<int64_t>(frames * capture.Format.blockAlign, std::numeric_limits<int32_t>::max()));
}

void SelectMonitorChannel(MonitorOutput& monitor, int ch, bool forceOff, CaptureChannel& capture,
                          const ArchiveChannel& archive, WaveService& service,
                          MonitorButtonLook* look) {
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    if (ch == monitor.MonitorChannel || forceOff) {
      StopMonitor(monitor, false);
      monitor.MonitorChannel = -1;
      if (look) look->SetMonitorLook(ch, false);
      return;
    }
    if (monitor.MonitorChannel != -1) {
      StopMonitor(monitor, false);
      if (look) look->SetMonitorLook(monitor.MonitorChannel, false);
      monitor.MonitorChannel = -1;
    }
    if (archive.Capturing < 1) return;
    monitor.MonitorChannel = ch;
    StartMonitor(monitor, capture, service);
    if (look) look->SetMonitorLook(ch, true);
  });
}

void StartMonitor(MonitorOutput& monitor, CaptureChannel& capture, WaveService& service) {
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    if (monitor.MonitorChannel == -1 || !capture.Device) return;
    const WaveFormat& format = capture.Format;
    if (monitor.OutDevice && (monitor.OutFormat.samplesPerSec != format.samplesPerSec ||
                              monitor.OutFormat.channels != format.channels))
      StopMonitor(monitor, true);
    if (!monitor.OutDevice) {
      monitor.OutFormat = format;
      const int r = service.OpenOut(monitor.MonDeviceId, monitor.OutFormat, monitor.OutDevice);
      if (r != kWaveOk) {
        monitor.OutDevice.reset();
        ShowWaveError(r, true, false, service);
      }
      monitor.HeaderCount = 0;
    }
    if (!monitor.OutDevice) return;
    WaveOutStream& out = *monitor.OutDevice;
    // Nothing may still be queued while the headers are pointed anew.
    out.Reset();
    monitor.LastWritten = -1;
    monitor.LastPosition = -1;

    const int32_t b = capture.BufferCount;
    if (6 * b != monitor.HeaderCount) {
      monitor.HeaderCount = 6 * b;
      monitor.Headers = std::make_unique<WaveHeader[]>(static_cast<size_t>(monitor.HeaderCount));
      monitor.LeadIn = std::make_unique<WaveHeader[]>(static_cast<size_t>(monitor.HeaderCount));
      monitor.Queued.assign(static_cast<size_t>(monitor.HeaderCount), 0);
      monitor.DelayBytes =
          LeadInBytes(monitor.BufferDelayMs, monitor.OutFormat.samplesPerSec, format.blockAlign);
    }
    const SegmentTable& segments = capture.Segments;
    const uint32_t length = static_cast<uint32_t>(format.blockAlign) * segments.segmentLength;
    // The last segment runs to the end of its block, so the frames a sixth
    // leaves over (S is rarely a multiple of 6) are heard too.
    const uint32_t lastLength =
        static_cast<uint32_t>(format.blockAlign) *
        static_cast<uint32_t>(std::max(capture.SamplesPerBuffer - segments.first[5], 0));
    for (int i = 0; i < b; ++i) {
      uint8_t* block = reinterpret_cast<uint8_t*>(capture.Block(i));
      for (int k = 0; k < 6; ++k) {
        WaveHeader& h = monitor.Headers[i * 6 + k];
        h.data = block + static_cast<size_t>(segments.first[k]) * format.blockAlign;
        h.bufferLength = k == 5 ? lastLength : length;
        ClearFlags(h);
        out.Prepare(h);
      }
    }
    std::fill(monitor.Queued.begin(), monitor.Queued.end(), 0);
    int32_t leadIn = monitor.DelayBytes;
    const int32_t limit = LeadInLimit(capture);
    if (leadIn > limit) {
      leadIn = limit;
      const int64_t noted = static_cast<int64_t>(monitor.MonitorChannel) << 32 | limit;
      if (monitor.NotedClamp != noted) {
        monitor.NotedClamp = noted;
        const double rate = std::max<uint32_t>(format.samplesPerSec, 1);
        const int usedMs = static_cast<int>(limit / format.blockAlign / rate * 1000.0);
        WriteLogLine(std::string(kMonitorDelayClampedText) +
                         std::to_string(monitor.MonitorChannel + 1) + ": BufferDelay " +
                         std::to_string(monitor.BufferDelayMs) +
                         " ms is longer than the capture ring allows; " + std::to_string(usedMs) +
                         " ms used",
                     true);
      }
    }
    QueueLeadIn(monitor, out, leadIn, length);
  });
}

void StopMonitor(MonitorOutput& monitor, bool close) {
  if (!monitor.OutDevice) return;
  WaveOutStream& out = *monitor.OutDevice;
  TrappedStep([&]() VARN_PROGRAM_THREAD { out.Reset(); });
  for (int i = 0; i < monitor.HeaderCount && monitor.Headers; ++i) {
    TrappedStep([&]() VARN_PROGRAM_THREAD { out.Unprepare(monitor.Headers[i]); });
    ClearFlags(monitor.Headers[i]);
  }
  std::fill(monitor.Queued.begin(), monitor.Queued.end(), 0);
  for (int i = 0; i < monitor.LeadInCount; ++i) {
    TrappedStep([&]() VARN_PROGRAM_THREAD { out.Unprepare(monitor.LeadIn[i]); });
    ClearFlags(monitor.LeadIn[i]);
  }
  monitor.LeadInCount = 0;
  if (close) {
    TrappedStep([&]() VARN_PROGRAM_THREAD { out.Close(); });
    monitor.OutDevice.reset();
  }
  monitor.LastWritten = -1;
  monitor.LastPosition = -1;
}

void MonitorWrite(MonitorOutput& monitor, int bufferIndex, int segment, int64_t position) {
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    const int32_t count = monitor.HeaderCount;
    if (!monitor.OutDevice || monitor.MonitorChannel == -1 || !monitor.Headers || count <= 0)
      return;
    if (bufferIndex < 0 || segment < 0 || segment > 5) return;
    const int32_t g = bufferIndex * 6 + segment;
    if (g >= count) return;
    int32_t waiting = 0;  // segments written that the device has not finished
    for (int i = 0; i < count; ++i) {
      if (monitor.Headers[i].Done()) monitor.Queued[static_cast<size_t>(i)] = 0;
      waiting += monitor.Queued[static_cast<size_t>(i)];
    }
    int32_t leadIn = 0;  // lead-in pieces still queued
    for (int i = 0; i < monitor.LeadInCount; ++i)
      if (HeaderQueue::IsQueued(monitor.LeadIn[i])) ++leadIn;
    const int64_t gap = monitor.LastWritten == -1 ? 0 : position - monitor.LastPosition;
    // Played already: an output ahead of capture waits for newer segments.
    if (monitor.LastWritten != -1 && gap <= 0) return;
    // Beyond the ring minus the block being filled, the segments in between
    // hold newer audio than their place says: go on from this one.
    const bool resume = monitor.LastWritten == -1 || gap > count - 6;
    const int32_t fresh = resume ? 1 : static_cast<int32_t>(gap);
    int32_t s = resume ? g : (monitor.LastWritten + 1) % count;
    // What would wait in the device, less the oldest piece (it may be part
    // played), must fit in every block but the one capture refills.
    const int32_t behind = leadIn + waiting + fresh;
    if (behind - 1 > count - 6) s = SkipAhead(monitor, g, behind, resume ? 0 : waiting + fresh - 1);
    for (;;) {
      // A header still queued is refused by the device; that is fine.
      monitor.OutDevice->Write(monitor.Headers[s]);
      monitor.Queued[static_cast<size_t>(s)] = 1;
      if (s == g) break;
      s = (s + 1) % count;
    }
    monitor.LastWritten = g;
    monitor.LastPosition = position;
  });
}

}  // namespace varn
