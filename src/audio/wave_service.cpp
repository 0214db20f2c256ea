#include "audio/wave_service.h"

namespace varn {

std::string GenericWaveErrorText(int code, bool isOutput) {
  const std::string side = isOutput ? "output" : "input";
  switch (code) {
    case kWaveOk:
      return "The operation completed successfully.";
    case kWaveErrBadDeviceId:
      return "There is no audio " + side + " device with that number.";
    case kWaveErrInvalidHandle:
      return "The audio " + side + " device is not open.";
    case kWaveErrNoDriver:
      return "The sound server cannot be reached.";
    case kWaveErrNoMem:
      return "There is not enough memory for the audio " + side + " device.";
    case kWaveErrInvalidParam:
      return "The audio " + side + " device was given an invalid buffer.";
    case kWaveErrBadFormat:
      return "The audio " + side + " device does not support the requested format.";
    case kWaveErrStillPlaying:
      return "The buffer is still queued on the audio " + side + " device.";
    case kWaveErrUnprepared:
      return "The buffer was not prepared for the audio " + side + " device.";
    case kWaveErrDeviceFailed:
      return "The audio " + side + " device has failed or was removed.";
    case kWaveErrTimeout:
      return "The sound server did not answer in time.";
    default:
      return "The audio " + side + " device reported error " + std::to_string(code) + ".";
  }
}

bool IsSupportedPcmFormat(const WaveFormat& f) {
  return f.formatTag == 1 && f.bitsPerSample == 16 && (f.channels == 1 || f.channels == 2) &&
         f.blockAlign == 2 * f.channels && f.samplesPerSec >= 1 && f.samplesPerSec <= 768000;
}

WaveInStream::WaveInStream(std::string deviceName, const WaveFormat& format)
    : deviceName_(std::move(deviceName)), format_(format) {
  queue_.SetFrameBytes(format.blockAlign);
}

int WaveInStream::AddBuffer(WaveHeader& header) {
  if (closed_) return kWaveErrInvalidHandle;
  return queue_.Add(header);
}

WaveOutStream::WaveOutStream(std::string deviceName, const WaveFormat& format)
    : deviceName_(std::move(deviceName)), format_(format) {
  queue_.SetFrameBytes(format.blockAlign);
}

int WaveOutStream::Write(WaveHeader& header) {
  if (closed_) return kWaveErrInvalidHandle;
  const int r = queue_.Add(header);
  if (r == kWaveOk) Kick();
  return r;
}

std::string WaveService::ErrorText(int code, bool isOutput) const {
  const LastError& e = lastError_[isOutput ? 1 : 0];
  if (code != kWaveOk && e.code == code && !e.text.empty()) return e.text;
  return GenericWaveErrorText(code, isOutput);
}

int WaveService::Fail(bool isOutput, int code, std::string text) {
  lastError_[isOutput ? 1 : 0] = {code, std::move(text)};
  return code;
}

}  // namespace varn
