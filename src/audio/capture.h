#pragma once
// A channel's capture: open its wave-in device with a ring of B buffers of
// S frames, hand every completed buffer (a gain-adjusted copy) to the
// archive and queue it again, and close the device. Runs on the program's
// thread only; the device's own thread just fills the queued buffers.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "archive/archive_channel.h"
#include "archive/channel_recorder.h"
#include "audio/capture_channel.h"
#include "audio/gain_copy.h"
#include "audio/wave_service.h"

#include "util/thread_role.h"

namespace varn {

inline constexpr std::string_view kBufferIrregularText = "Buffer irregular ";
inline constexpr std::string_view kProgressionRecordErrText = "zrec ProgressionRecord err ";
inline constexpr std::string_view kOverrunText = "Capture overrun ch";
inline constexpr std::string_view kDeviceFailedText = "Capture device failed ch";
inline constexpr std::string_view kStartFailedText = "Capture start failed ch";
inline constexpr std::string_view kBufferSizeText = "Capture buffer size out of range ch";
inline constexpr std::string_view kStreamNoteText = "Stream ch";

// The largest ring a channel may allocate (samples of all B blocks): far
// beyond any sane setting, and small enough that a mistyped BufferSec_
// cannot exhaust the machine.
inline constexpr uint64_t kMaxCaptureSamples = uint64_t{1} << 28;

// Opens channel `ch`'s device (capture.DeviceId) in its format (FormatCode,
// SampleRate) with B buffers of S frames, starts the device and, once it
// runs, the archive through `recorder` (null: no archive). True when it records;
// archive.Capturing is then 1. On failure everything it opened is released
// and the reason is shown (open failure) or logged (start failure).
bool StartCapture(int ch, CaptureChannel& capture, ArchiveChannel& archive, WaveService& service,
                  ChannelRecorder* recorder) VARN_PROGRAM_THREAD;

// Handles every completed buffer in ring order from NextBuffer: logs an
// irregular completion, advances NextBuffer by one, gives the archive the
// gain-adjusted copy when `archiveOn`, and queues the buffer again. Also
// reports overruns and a failed device to the diagnostics file. With `now`
// (steady seconds) each block goes to the archive with the time its last
// frame was captured. Returns the last buffer handled, or -1 when none was
// complete.
int ProgressionRecord(int ch, CaptureChannel& capture, ArchiveChannel& archive, bool archiveOn,
                      ChannelRecorder* recorder, double now = -1.0) VARN_PROGRAM_THREAD;

// Resets, stops and closes the device and stops the archive. Never fails;
// buffers the reset returns are not archived. The blocks stay allocated
// (the monitor output may still point into them until it is stopped).
void StopCapture(int ch, CaptureChannel& capture, ArchiveChannel& archive,
                 ChannelRecorder* recorder) VARN_PROGRAM_THREAD;

// With a non-zero code: the service's text for it, in a message box or
// (toLog) in the diagnostics file; returns 1. Returns 0 for code 0.
int ShowWaveError(int code, bool isOutput, bool toLog, const WaveService& service);

// Frames the device has captured into the buffer it fills now: audio not
// yet handed to the archive.
uint64_t FramesInFlight(const CaptureChannel& capture);

// True once the channel's device has failed (unplugged, server gone): the
// engine asks this to decide what the channel does next.
bool CaptureDeviceFailed(const CaptureChannel& capture);

}  // namespace varn
