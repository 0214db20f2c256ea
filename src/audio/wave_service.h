#pragma once
// The wave-in and wave-out service: device lists, and streams that fill or
// play buffers described by WaveHeaders. The program opens a device without
// a callback, queues its headers and finds their progress by polling the
// done flag; a backend's own thread touches nothing but the queued headers'
// bytes, their done flag and bytes-recorded field, and its own queue.
//
// Every operation returns 0 on success, or an error code whose text
// ErrorText gives as a sentence naming the device and the reason.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/header_queue.h"
#include "audio/wave_format.h"
#include "audio/wave_header.h"

namespace varn {

enum WaveResult : int {
  kWaveOk = 0,
  kWaveErrUnspecified = 1,
  kWaveErrBadDeviceId = 2,    // no device of that number
  kWaveErrInvalidHandle = 5,  // the stream is closed
  kWaveErrNoDriver = 6,       // the sound server cannot be reached
  kWaveErrNoMem = 7,
  kWaveErrInvalidParam = 11,
  kWaveErrBadFormat = 32,     // the device does not take that format
  kWaveErrStillPlaying = 33,  // the header is still queued
  kWaveErrUnprepared = 34,    // the header was not prepared
  kWaveErrDeviceFailed = 40,  // the device went away or refused
  kWaveErrTimeout = 41,       // the sound server did not answer in time
};

// Device number of the system's default input or output.
inline constexpr int kDefaultDevice = -1;

// A generic sentence for a code, used when no detailed text is known.
std::string GenericWaveErrorText(int code, bool isOutput);

// True when `format` is 16-bit PCM with one or two channels at a rate a
// device can take (1 Hz to 768 kHz): the only formats capture and monitor use.
bool IsSupportedPcmFormat(const WaveFormat& format);

// An open capture device.
class WaveInStream {
 public:
  WaveInStream(std::string deviceName, const WaveFormat& format);
  virtual ~WaveInStream() = default;
  WaveInStream(const WaveInStream&) = delete;
  WaveInStream& operator=(const WaveInStream&) = delete;

  int Prepare(WaveHeader& header) VARN_PROGRAM_THREAD { return queue_.Prepare(header); }
  int Unprepare(WaveHeader& header) VARN_PROGRAM_THREAD { return queue_.Unprepare(header); }
  // Queues a prepared header; it is filled after every header queued before it.
  int AddBuffer(WaveHeader& header) VARN_PROGRAM_THREAD;
  // Starts delivering audio into the queued headers.
  virtual int Start() = 0;
  // Stops delivering; a partly filled header is returned done.
  virtual int Stop() = 0;
  // Stops delivering and returns every queued header done.
  virtual int Reset() = 0;
  // Releases the device; queued headers are returned done first.
  virtual int Close() = 0;

  // True once the device has failed (unplugged, server gone); the reason
  // names what went wrong. A failed stream delivers nothing more.
  bool Failed() const { return failed_.Failed(); }
  std::string FailureReason() const { return failed_.Reason(); }

  // Frames lost in each overrun (no queued header) that has ended since the
  // last call, oldest first. Reset and Close end a running overrun.
  std::vector<uint64_t> TakeOverruns() VARN_PROGRAM_THREAD { return queue_.TakeOverruns(); }

  const std::string& DeviceName() const { return deviceName_; }
  const WaveFormat& Format() const { return format_; }

  // What a network stream tells since the last call (connections, titles);
  // a sound card tells nothing.
  struct Note {
    bool title = false;  // a new now-playing title, else a diagnostics line
    std::string text;
  };
  virtual std::vector<Note> TakeNotes() VARN_PROGRAM_THREAD { return {}; }
  // True for a network stream: nothing ever stands in for it.
  virtual bool IsStream() const { return false; }
  bool Closed() const { return closed_; }

 protected:
  void SetDeviceName(std::string name) { deviceName_ = std::move(name); }
  HeaderQueue queue_;
  FailureFlag failed_;
  bool closed_ = false;

 private:
  std::string deviceName_;
  WaveFormat format_;
};

// An open playback device. Written headers play in order; a header is
// returned done once all its bytes have been handed to the device.
class WaveOutStream {
 public:
  WaveOutStream(std::string deviceName, const WaveFormat& format);
  virtual ~WaveOutStream() = default;
  WaveOutStream(const WaveOutStream&) = delete;
  WaveOutStream& operator=(const WaveOutStream&) = delete;

  int Prepare(WaveHeader& header) VARN_PROGRAM_THREAD { return queue_.Prepare(header); }
  int Unprepare(WaveHeader& header) VARN_PROGRAM_THREAD { return queue_.Unprepare(header); }
  // Queues a prepared header behind those written before; a header still
  // queued is refused.
  int Write(WaveHeader& header) VARN_PROGRAM_THREAD;
  // Stops playback and returns every queued header done.
  virtual int Reset() = 0;
  virtual int Close() = 0;

  bool Failed() const { return failed_.Failed(); }
  std::string FailureReason() const { return failed_.Reason(); }
  const std::string& DeviceName() const { return deviceName_; }
  const WaveFormat& Format() const { return format_; }

 protected:
  // Called after a header was queued: a backend that pulls data only when
  // asked hands over what the device can take now.
  virtual void Kick() {}
  void SetDeviceName(std::string name) { deviceName_ = std::move(name); }
  HeaderQueue queue_;
  FailureFlag failed_;
  bool closed_ = false;

 private:
  std::string deviceName_;
  WaveFormat format_;
};

// The device names of one backend, numbered from 0 in the order the system
// reports them.
class DeviceDirectory {
 public:
  virtual ~DeviceDirectory() = default;
  // Reads the current device list; the names below come from that reading.
  virtual int DeviceCount(bool isInput) = 0;
  virtual std::string DeviceName(bool isInput, int id) = 0;
};

class WaveService : public DeviceDirectory {
 public:
  // "pulse" or "sim".
  virtual std::string BackendName() const = 0;
  // "" when the backend answers now, else why not ("the PulseAudio server
  // cannot be reached (Connection refused)"): an empty device list then
  // means nothing.
  virtual std::string Unreachable() { return ""; }
  // Opens device `deviceId` (kDefaultDevice: the system's default) with
  // `format`. On failure `stream` is left empty and the result is an error
  // code; ErrorText then names the device and the reason.
  virtual int OpenIn(int deviceId, const WaveFormat& format,
                     std::shared_ptr<WaveInStream>& stream) = 0;
  virtual int OpenOut(int deviceId, const WaveFormat& format,
                      std::shared_ptr<WaveOutStream>& stream) = 0;

  // The sentence for `code`: the detailed one of the last failure with that
  // code on that side, else a generic one.
  std::string ErrorText(int code, bool isOutput) const;

 protected:
  // Remembers the detailed text of a failure and returns its code.
  int Fail(bool isOutput, int code, std::string text);

 private:
  struct LastError {
    int code = 0;
    std::string text;
  };
  LastError lastError_[2];
};

}  // namespace varn
