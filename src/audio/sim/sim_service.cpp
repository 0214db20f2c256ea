#include "audio/sim/sim_service.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "archive/pcm_file.h"
#include "settings/folders.h"

namespace varn {

namespace {

std::string FormatText(const WaveFormat& f) {
  return std::to_string(f.samplesPerSec) + " Hz, " + std::to_string(f.channels) + " channel(s), " +
         std::to_string(f.bitsPerSample) + "-bit";
}

std::string BadFormatText(bool isOutput, const std::string& device, const WaveFormat& f) {
  return std::string("Cannot open the ") + (isOutput ? "output" : "input") + " device \"" + device +
         "\": the format " + FormatText(f) + " is not 16-bit PCM mono or stereo.";
}

}  // namespace

SimWaveService::SimWaveService(SimPace pace, std::string filesFolder)
    : pace_(pace), filesFolder_(std::move(filesFolder)) {
  ReadInputList();
}

std::string SimWaveService::FilesFolderFromEnvironment() {
  const char* folder = std::getenv("VARN_SIM_FILES");
  return folder ? folder : "";
}

void SimWaveService::ReadInputList() {
  inputs_.clear();
  for (int i = 0; i < static_cast<int>(std::size(kSimSignalKinds)); ++i)
    inputs_.push_back({SimSignalName(kSimSignalKinds[i]), i, ""});
  if (filesFolder_.empty()) return;
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(filesFolder_, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (it->is_regular_file(ec) && IsPcmFileName(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  const std::string folder = NormaliseFolder(filesFolder_, false);
  for (const std::string& name : names)
    inputs_.push_back({std::string(kSimFilePrefix) + name, -1, folder + name});
}

int SimWaveService::DeviceCount(bool isInput) {
  if (!isInput) return 1;
  ReadInputList();
  return static_cast<int>(inputs_.size());
}

std::string SimWaveService::DeviceName(bool isInput, int id) {
  if (!isInput) return id == 0 ? std::string(kSimNullOutputName) : "";
  if (id < 0 || id >= static_cast<int>(inputs_.size())) return "";
  return inputs_[static_cast<size_t>(id)].name;
}

int SimWaveService::Resolve(bool isInput, int deviceId) const {
  const int count = isInput ? static_cast<int>(inputs_.size()) : 1;
  // The default input is the programme-like signal, so a first run without
  // a sound server shows every detector at work.
  if (deviceId == kDefaultDevice) return isInput ? kSimDefaultInput : 0;
  return deviceId >= 0 && deviceId < count ? deviceId : -1;
}

int SimWaveService::OpenIn(int deviceId, const WaveFormat& format,
                           std::shared_ptr<WaveInStream>& stream) {
  stream.reset();
  if (inputs_.empty()) ReadInputList();
  const int id = Resolve(true, deviceId);
  if (id < 0)
    return Fail(false, kWaveErrBadDeviceId,
                "Cannot open input device number " + std::to_string(deviceId) + ": there are " +
                    std::to_string(inputs_.size()) + " virtual input devices.");
  const InputDevice& device = inputs_[static_cast<size_t>(id)];
  if (!IsSupportedPcmFormat(format))
    return Fail(false, kWaveErrBadFormat, BadFormatText(false, device.name, format));
  if (failedDevices_.count({true, id}))
    return Fail(false, kWaveErrDeviceFailed,
                "Cannot open the input device \"" + device.name + "\": it is not connected.");
  std::unique_ptr<SimSignal> signal;
  if (device.signal >= 0) {
    signal = MakeSimSignal(kSimSignalKinds[device.signal], static_cast<int>(format.samplesPerSec),
                           format.channels);
  } else {
    std::string reason;
    auto reader = OpenPcmFile(device.path, &reason);
    if (!reader)
      return Fail(false, kWaveErrDeviceFailed,
                  "Cannot open the input device \"" + device.name + "\": the file " + reason + ".");
    signal =
        MakeFileSignal(std::move(reader), static_cast<int>(format.samplesPerSec), format.channels);
  }
  auto sim = std::make_shared<SimInStream>(device.name, format, std::move(signal), Pacer());
  std::erase_if(inStreams_, [](const auto& s) { return s.second.expired(); });
  inStreams_.emplace_back(id, sim);
  stream = sim;
  return kWaveOk;
}

std::shared_ptr<SimPacer> SimWaveService::Pacer() {
  if (pace_ != SimPace::RealTime) return nullptr;
  if (!pacer_) pacer_ = std::make_shared<SimPacer>();
  return pacer_;
}

int SimWaveService::OpenOut(int deviceId, const WaveFormat& format,
                            std::shared_ptr<WaveOutStream>& stream) {
  stream.reset();
  const int id = Resolve(false, deviceId);
  const std::string name(kSimNullOutputName);
  if (id < 0)
    return Fail(true, kWaveErrBadDeviceId,
                "Cannot open output device number " + std::to_string(deviceId) +
                    ": there is 1 virtual output device.");
  if (!IsSupportedPcmFormat(format))
    return Fail(true, kWaveErrBadFormat, BadFormatText(true, name, format));
  if (failedDevices_.count({false, id}))
    return Fail(true, kWaveErrDeviceFailed,
                "Cannot open the output device \"" + name + "\": it is not connected.");
  std::shared_ptr<SimPacer> pacer = Pacer();
  if (pacer && outputRate_ != 1.0) pacer = std::make_shared<SimPacer>();
  auto sim = std::make_shared<SimOutStream>(name, format, std::move(pacer), tap_, outputRate_);
  std::erase_if(outStreams_, [](const auto& s) { return s.expired(); });
  outStreams_.push_back(sim);
  ++outputOpens_;
  stream = sim;
  return kWaveOk;
}

int SimWaveService::Produce(int deviceId, size_t frames) {
  const int id = Resolve(true, deviceId);
  int driven = 0;
  for (auto& [streamDevice, weak] : inStreams_) {
    if (streamDevice != id) continue;
    if (auto s = weak.lock()) {
      s->Produce(frames);
      ++driven;
    }
  }
  return driven;
}

int SimWaveService::Consume(size_t frames) {
  int driven = 0;
  for (auto& weak : outStreams_) {
    if (auto s = weak.lock()) {
      s->Consume(frames);
      ++driven;
    }
  }
  return driven;
}

void SimWaveService::FailDevice(bool isInput, int deviceId, const std::string& reason) {
  const int id = Resolve(isInput, deviceId);
  if (id < 0) return;
  failedDevices_.insert({isInput, id});
  if (isInput) {
    for (auto& [streamDevice, weak] : inStreams_)
      if (auto s = weak.lock(); s && streamDevice == id) s->Fail(reason);
  } else {
    for (auto& weak : outStreams_)
      if (auto s = weak.lock()) s->Fail(reason);
  }
}

void SimWaveService::RestoreDevice(bool isInput, int deviceId) {
  failedDevices_.erase({isInput, Resolve(isInput, deviceId)});
}

}  // namespace varn
