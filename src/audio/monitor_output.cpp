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
  TrappedStep([&] {
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
  TrappedStep([&] {
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
      monitor.Queued.assign(static_cast<size_t>(monitor.HeaderCount), 0);
      monitor.DelayBytes =
          LeadInBytes(monitor.BufferDelayMs, monitor.OutFormat.samplesPerSec, format.blockAlign);
      monitor.SilenceBytes.assign(static_cast<size_t>(monitor.DelayBytes) + 1, 0);
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
    WaveHeader& lead = monitor.SilenceHeader;
    lead.data = monitor.SilenceBytes.data();
    lead.bufferLength = static_cast<uint32_t>(std::max(leadIn, 0));
    ClearFlags(lead);
    out.Prepare(lead);
    out.Write(lead);
  });
}

void StopMonitor(MonitorOutput& monitor, bool close) {
  if (!monitor.OutDevice) return;
  WaveOutStream& out = *monitor.OutDevice;
  TrappedStep([&] { out.Reset(); });
  for (int i = 0; i < monitor.HeaderCount && monitor.Headers; ++i) {
    TrappedStep([&] { out.Unprepare(monitor.Headers[i]); });
    ClearFlags(monitor.Headers[i]);
  }
  std::fill(monitor.Queued.begin(), monitor.Queued.end(), 0);
  TrappedStep([&] { out.Unprepare(monitor.SilenceHeader); });
  ClearFlags(monitor.SilenceHeader);
  if (close) {
    TrappedStep([&] { out.Close(); });
    monitor.OutDevice.reset();
  }
  monitor.LastWritten = -1;
  monitor.LastPosition = -1;
}

void MonitorWrite(MonitorOutput& monitor, int bufferIndex, int segment, int64_t position) {
  TrappedStep([&] {
    const int32_t count = monitor.HeaderCount;
    if (!monitor.OutDevice || monitor.MonitorChannel == -1 || !monitor.Headers || count <= 0)
      return;
    if (bufferIndex < 0 || segment < 0 || segment > 5) return;
    const int32_t g = bufferIndex * 6 + segment;
    if (g >= count) return;
    for (int i = 0; i < count; ++i)
      if (monitor.Headers[i].Done()) monitor.Queued[static_cast<size_t>(i)] = 0;
    const int64_t gap = monitor.LastWritten == -1 ? 0 : position - monitor.LastPosition;
    if (monitor.LastWritten != -1 && gap <= 0) return;  // played already
    // Beyond the ring minus the block being filled, the segments in between
    // hold newer audio than their place says: go on from this one.
    const bool resume = monitor.LastWritten == -1 || gap > count - 6;
    int32_t s = resume ? g : (monitor.LastWritten + 1) % count;
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
