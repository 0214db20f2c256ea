#include "audio/capture.h"

#include <algorithm>

#include "analysis/level_math.h"
#include "archive/capture_sizing.h"
#include "archive/format_codes.h"
#include "audio/gain_copy.h"
#include "log/event_log.h"
#include "settings/folders.h"
#include "util/error_catch.h"
#include "util/user_notice.h"

namespace varn {

namespace {

std::string Label(int ch) { return std::to_string(ch + 1); }

// Remote text inside double quotes on a diagnostics line.
std::string QuotedText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

WaveFormat BuildFormat(int32_t formatCode, int32_t rate) {
  WaveFormat f;
  f.formatTag = 1;
  if (formatCode == kMono16 || formatCode == kStereo16) {
    const ChannelsAndBits layout = FormatLayout(formatCode);
    f.channels = static_cast<uint16_t>(layout.channels);
    f.bitsPerSample = static_cast<uint16_t>(layout.bits);
  }
  // Any other code leaves channels and bits at 0, which the device refuses.
  f.blockAlign = static_cast<uint16_t>(f.bitsPerSample * f.channels / 8);
  f.samplesPerSec = static_cast<uint32_t>(std::max<int32_t>(rate, 0));
  f.avgBytesPerSec = f.blockAlign * f.samplesPerSec;
  return f;
}

// Overruns that ended, and a device failure (once), to the diagnostics file.
void ReportTrouble(int ch, CaptureChannel& capture) VARN_PROGRAM_THREAD {
  if (!capture.Device) return;
  const std::string& device = capture.Device->DeviceName();
  for (const uint64_t frames : capture.Device->TakeOverruns()) {
    capture.LostFrames += frames;
    WriteLogLine(std::string(kOverrunText) + Label(ch) + " (" + device +
                     "): " + std::to_string(frames) + " frames lost",
                 true);
  }
  for (WaveInStream::Note& note : capture.Device->TakeNotes()) {
    if (note.title) {
      capture.StreamTitle = std::move(note.text);
      WriteLogLine(std::string(kStreamNoteText) + Label(ch) + " (" + device + "): title \"" +
                       QuotedText(capture.StreamTitle) + "\"",
                   true);
    } else {
      WriteLogLine(std::string(kStreamNoteText) + Label(ch) + " (" + device + "): " + note.text,
                   true);
    }
  }
  if (!capture.FailureReported && capture.Device->Failed()) {
    capture.FailureReported = true;
    WriteLogLine(std::string(kDeviceFailedText) + Label(ch) + " (" + device +
                     "): " + capture.Device->FailureReason(),
                 true);
  }
}

// Reset, stop, unprepare and close, each step's failure ignored.
void ReleaseDevice(int ch, CaptureChannel& capture) VARN_PROGRAM_THREAD {
  if (!capture.Device) return;
  WaveInStream& device = *capture.Device;
  TrappedStep([&]() VARN_PROGRAM_THREAD { device.Reset(); });
  TrappedStep([&]() VARN_PROGRAM_THREAD { device.Stop(); });
  TrappedStep([&]() VARN_PROGRAM_THREAD { ReportTrouble(ch, capture); });
  if (capture.Headers) {
    for (int i = 0; i < capture.BufferCount; ++i)
      TrappedStep([&]() VARN_PROGRAM_THREAD { device.Unprepare(capture.Headers[i]); });
  }
  TrappedStep([&]() VARN_PROGRAM_THREAD { device.Close(); });
  capture.Device.reset();
  capture.HeldBuffer = -1;
}

bool StartCaptureSteps(int ch, CaptureChannel& capture, ArchiveChannel& archive,
                       WaveService& service, ChannelRecorder* recorder) VARN_PROGRAM_THREAD {
  // A device left open by an earlier start whose device did not start.
  ReleaseDevice(ch, capture);

  const WaveFormat format = BuildFormat(capture.FormatCode, capture.SampleRate);
  capture.Format = format;
  const CaptureSizing sizing =
      ComputeCaptureSizing(capture.SampleRate, capture.BitRate, capture.BufferSec);
  const int32_t s = sizing.samplesPerBuffer;
  const int32_t b = sizing.bufferCount;
  const uint64_t samples = static_cast<uint64_t>(std::max(b, 0)) * std::max(s, 0) *
                           std::max<uint16_t>(format.channels, 1);
  if (s < 6 || b < 1 || samples > kMaxCaptureSamples) {
    WriteLogLine(std::string(kBufferSizeText) + Label(ch) + ": rate " +
                     std::to_string(capture.SampleRate) + ", " + std::to_string(capture.BufferSec) +
                     " s gives " + std::to_string(b) + " buffers of " + std::to_string(s) +
                     " frames",
                 true);
    return false;
  }
  capture.SamplesPerBuffer = s;
  capture.BufferCount = b;
  capture.Headers = std::make_unique<WaveHeader[]>(static_cast<size_t>(b));
  capture.SampleBlocks.assign(samples, 0);
  if (archive.ArcOn != 0)
    capture.RecordBlocks.assign(samples, 0);
  else
    capture.RecordBlocks.clear();
  capture.LostFrames = 0;
  capture.StreamTitle.clear();
  capture.FailureReported = false;

  std::shared_ptr<WaveInStream> device;
  const int opened = service.OpenIn(capture.DeviceId, format, device);
  if (opened != kWaveOk || !device) {
    ShowWaveError(opened != kWaveOk ? opened : kWaveErrUnspecified, false, false, service);
    StopCapture(ch, capture, archive, recorder);
    return false;
  }
  capture.Device = device;

  const uint32_t length = static_cast<uint32_t>(format.blockAlign) * static_cast<uint32_t>(s);
  // Every header is prepared before the first is queued: preparing makes
  // room for it in the stream's ring, which grows only while it is empty.
  for (int i = 0; i < b; ++i) {
    WaveHeader& h = capture.Headers[i];
    h.data = reinterpret_cast<uint8_t*>(capture.Block(i));
    h.bufferLength = length;
    h.flags.store(0, std::memory_order_relaxed);
    h.loops = 0;
    device->Prepare(h);  // results ignored: only the start decides
  }
  for (int i = 0; i < b; ++i) device->AddBuffer(capture.Headers[i]);

  capture.NextBuffer = 0;
  capture.BuffersCompleted = 0;
  capture.HeldBuffer = -1;
  capture.Segments = SegmentTable::Build(s);
  const int started = device->Start();
  if (started == kWaveOk) {
    // Only a device that runs gets an archive: a start that fails leaves
    // no file behind. The archive says which bit rate it really uses.
    if (recorder) {
      ArchiveStart start;
      start.rate = capture.SampleRate;
      start.bits = format.bitsPerSample;
      start.channels = format.channels;
      start.blockAlign = format.blockAlign;
      start.bitRate = capture.BitRate;
      start.samplesPerBuffer = s;
      start.archiveOn = archive.ArcOn != 0;
      capture.ArchiveStarted = true;
      capture.BitRate = recorder->StartArchive(start);
    }
    archive.Capturing = 1;
    return true;
  }
  // The device opened but will not run: release it now rather than keep a
  // device that holds pointers into blocks the next start reallocates.
  const std::string reason =
      device->Failed() ? device->FailureReason() : GenericWaveErrorText(started, false);
  WriteLogLine(
      std::string(kStartFailedText) + Label(ch) + " (" + device->DeviceName() + "): " + reason,
      true);
  StopCapture(ch, capture, archive, recorder);
  return false;
}

}  // namespace

bool StartCapture(int ch, CaptureChannel& capture, ArchiveChannel& archive, WaveService& service,
                  ChannelRecorder* recorder) {
  const bool ok = Trapped(false, [&]() VARN_PROGRAM_THREAD {
    return StartCaptureSteps(ch, capture, archive, service, recorder);
  });
  if (!ok && archive.Capturing == 0 && (capture.Device || capture.ArchiveStarted))
    StopCapture(ch, capture, archive, recorder);
  return ok;
}

int ProgressionRecord(int ch, CaptureChannel& capture, ArchiveChannel& archive, bool archiveOn,
                      ChannelRecorder* recorder, double now) {
  if (archive.Capturing == 0) return -1;
  TrappedStep([&]() VARN_PROGRAM_THREAD { ReportTrouble(ch, capture); });
  const int32_t b = capture.BufferCount;
  if (!capture.Device || !capture.Headers || b <= 0) return -1;
  if (capture.NextBuffer < 0 || capture.NextBuffer >= b) capture.NextBuffer = 0;

  const size_t samplesPerBlock =
      static_cast<size_t>(capture.SamplesPerBuffer) * capture.Format.channels;
  const int32_t bytesPerBlock = capture.Format.blockAlign * capture.SamplesPerBuffer;
  // The buffer held back at the last call has been analysed by now: the
  // device may have it again.
  if (capture.HeldBuffer >= 0 && capture.HeldBuffer < b)
    capture.Device->AddBuffer(capture.Headers[capture.HeldBuffer]);
  capture.HeldBuffer = -1;
  const int32_t first = capture.NextBuffer;
  // When each block's last frame was captured: the blocks done after it,
  // and what the device has put into the buffer it fills now, came later.
  int doneCount = 0;
  double framesAfter = 0.0;
  const double rate = std::max<uint32_t>(capture.Format.samplesPerSec, 1);
  if (now >= 0.0) {
    int filling = -1;
    for (int visit = 0; visit < b; ++visit) {
      const int n = (first + visit) % b;
      if (capture.Headers[n].Done()) {
        ++doneCount;
      } else if (filling < 0) {
        filling = n;
      }
    }
    if (filling >= 0 && capture.Format.blockAlign > 0)
      framesAfter =
          static_cast<double>(capture.Headers[filling].BytesRecorded() / capture.Format.blockAlign);
    framesAfter += static_cast<double>(std::max(doneCount - 1, 0)) * capture.SamplesPerBuffer;
  }
  int last = -1;
  for (int visit = 0; visit < b; ++visit) {
    const int n = (first + visit) % b;
    WaveHeader& h = capture.Headers[n];
    if (!h.Done()) continue;
    try {
      if (n != capture.NextBuffer)
        WriteLogLine(std::string(kBufferIrregularText) + std::to_string(n) + "#" +
                         std::to_string(capture.NextBuffer),
                     true);
      capture.NextBuffer = capture.NextBuffer + 1 >= b ? 0 : capture.NextBuffer + 1;
      ++capture.BuffersCompleted;
      if (archiveOn && recorder) {
        // Archiving switched on after the start: the copies are made now.
        if (capture.RecordBlocks.size() < capture.SampleBlocks.size())
          capture.RecordBlocks.resize(capture.SampleBlocks.size());
        int16_t* copy = capture.RecordBlocks.data() + static_cast<size_t>(n) * samplesPerBlock;
        GainCopy(capture.Block(n), copy, samplesPerBlock, DbToLinear(capture.RecLevelDb));
        const double capturedEnd = now >= 0.0 ? now - framesAfter / rate : -1.0;
        recorder->FeedTimedBlock(n, reinterpret_cast<const uint8_t*>(copy), bytesPerBlock,
                                 capturedEnd);
      }
      if (now >= 0.0) {
        framesAfter -= capture.SamplesPerBuffer;
        if (framesAfter < 0.0) framesAfter = 0.0;
      }
    } catch (...) {
      if (ErrorCatch() != 0) throw;
      WriteLogLine(std::string(kProgressionRecordErrText) + archive.CurrentPath, true);
      // The buffer goes back in the queue all the same, or every fault
      // would shrink the ring by one.
      capture.Device->AddBuffer(h);
      if (last >= 0) capture.Device->AddBuffer(capture.Headers[last]);
      return last;
    }
    // Back to the device at once, except the newest: the analysis may read
    // its last segment in this tick, and the device must not write it meanwhile.
    if (last >= 0) capture.Device->AddBuffer(capture.Headers[last]);
    last = n;
  }
  capture.HeldBuffer = last;
  return last;
}

void StopCapture(int ch, CaptureChannel& capture, ArchiveChannel& archive,
                 ChannelRecorder* recorder) {
  ReleaseDevice(ch, capture);
  if (recorder && capture.ArchiveStarted) {
    // Closes the encoder (its last frames included) and flushes the disk buffer.
    TrappedStep([&]() VARN_PROGRAM_THREAD { recorder->StopArchive(); });
  }
  capture.ArchiveStarted = false;
  archive.Capturing = 0;
}

int ShowWaveError(int code, bool isOutput, bool toLog, const WaveService& service) {
  if (code == kWaveOk) return 0;
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    const std::string text = service.ErrorText(code, isOutput);
    if (toLog)
      WriteLogLine(text, true);
    else
      ShowNotice(text, kAppTitle, NoticeIcon::None);
  });
  return 1;
}

uint64_t FramesInFlight(const CaptureChannel& capture) {
  if (!capture.Headers || capture.BufferCount < 1 || capture.Format.blockAlign == 0) return 0;
  const int32_t n =
      capture.NextBuffer >= 0 && capture.NextBuffer < capture.BufferCount ? capture.NextBuffer : 0;
  const WaveHeader& h = capture.Headers[n];
  if (h.Done()) return 0;
  return h.BytesRecorded() / capture.Format.blockAlign;
}

bool CaptureDeviceFailed(const CaptureChannel& capture) {
  return capture.Device && capture.Device->Failed();
}

}  // namespace varn
