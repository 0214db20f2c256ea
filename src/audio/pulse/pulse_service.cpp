#include "audio/pulse/pulse_service.h"

#include "audio/pulse/pulse_streams.h"
#include "util/text.h"

namespace varn {

namespace {

struct ListRead {
  std::vector<std::pair<std::string, std::string>> entries;  // name, description
};

template <class Info>
void Collect(const Info* info, int eol, void* userdata) {
  if (eol || !info) return;
  auto* read = static_cast<ListRead*>(userdata);
  read->entries.emplace_back(info->name ? info->name : "",
                             info->description ? info->description : "");
}

void OnSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  Collect(info, eol, userdata);
}
void OnSink(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  Collect(info, eol, userdata);
}

const char* Side(bool isInput) { return isInput ? "input" : "output"; }

}  // namespace

PulseWaveService::PulseWaveService(std::string server, std::shared_ptr<PulseConnection> connection)
    : server_(std::move(server)), connection_(std::move(connection)) {}

std::shared_ptr<PulseConnection> PulseWaveService::Connection(std::string* error) {
  if (connection_) {
    PulseConnection::Lock lock(*connection_);
    if (connection_->ReadyLocked()) return connection_;
  }
  // Streams of the lost connection keep it alive until they are closed.
  connection_ = PulseConnection::Connect(server_, kPulseConnectTimeoutMs, error);
  return connection_;
}

std::string PulseWaveService::Unreachable() {
  std::string reason;
  if (Connection(&reason)) return "";
  return "the PulseAudio server cannot be reached (" + reason + ")";
}

bool PulseWaveService::ReadDevices(bool isInput) {
  std::vector<Device>& list = devices_[isInput ? 1 : 0];
  list.clear();
  const auto c = Connection(nullptr);
  if (!c) return false;
  ListRead read;
  {
    PulseConnection::Lock lock(*c);
    pa_operation* op = isInput ? pa_context_get_source_info_list(c->Context(), &OnSource, &read)
                               : pa_context_get_sink_info_list(c->Context(), &OnSink, &read);
    if (!c->FinishLocked(op)) return false;
  }
  for (auto& [name, description] : read.entries) {
    // Descriptions are what the operator sees and stores; a device without
    // one is named by its server name.
    std::string shown = TrimBlanks(description.substr(0, description.find('\0')));
    list.push_back({name, shown.empty() ? name : shown});
  }
  return true;
}

int PulseWaveService::DeviceCount(bool isInput) {
  ReadDevices(isInput);
  return static_cast<int>(devices_[isInput ? 1 : 0].size());
}

std::string PulseWaveService::DeviceName(bool isInput, int id) {
  const std::vector<Device>& list = devices_[isInput ? 1 : 0];
  if (id < 0 || id >= static_cast<int>(list.size())) return "";
  return list[static_cast<size_t>(id)].description;
}

std::string PulseWaveService::ServerName(bool isInput, int id) const {
  const std::vector<Device>& list = devices_[isInput ? 1 : 0];
  if (id < 0 || id >= static_cast<int>(list.size())) return "";
  return list[static_cast<size_t>(id)].name;
}

std::string PulseWaveService::DescriptionOf(bool isInput, const std::string& serverName) const {
  for (const Device& d : devices_[isInput ? 1 : 0])
    if (d.name == serverName) return d.description;
  return serverName;
}

template <class Stream>
int PulseWaveService::Open(bool isInput, int deviceId, const WaveFormat& format,
                           std::shared_ptr<Stream>& stream) {
  const bool isOutput = !isInput;
  const std::string number = "number " + std::to_string(deviceId);
  std::string reason;
  const auto c = Connection(&reason);
  if (!c)
    return Fail(isOutput, kWaveErrNoDriver,
                std::string("Cannot open the ") + Side(isInput) + " device " +
                    (deviceId == kDefaultDevice ? std::string("(the default)") : number) +
                    ": the PulseAudio server cannot be reached (" + reason + ").");
  std::string serverName;
  std::string shown = std::string("default ") + Side(isInput);
  if (deviceId != kDefaultDevice) {
    ReadDevices(isInput);
    serverName = ServerName(isInput, deviceId);
    if (serverName.empty())
      return Fail(isOutput, kWaveErrBadDeviceId,
                  std::string("Cannot open ") + Side(isInput) + " device " + number +
                      ": the PulseAudio server lists " +
                      std::to_string(devices_[isInput ? 1 : 0].size()) + " " + Side(isInput) +
                      " devices.");
    shown = DeviceName(isInput, deviceId);
  }
  if (!IsSupportedPcmFormat(format))
    return Fail(isOutput, kWaveErrBadFormat,
                std::string("Cannot open the ") + Side(isInput) + " device \"" + shown +
                    "\": the format " + std::to_string(format.samplesPerSec) + " Hz, " +
                    std::to_string(format.channels) + " channel(s), " +
                    std::to_string(format.bitsPerSample) +
                    "-bit is not 16-bit PCM mono or stereo.");
  auto s = std::make_shared<Stream>(c, shown, format);
  if (!s->Connect(serverName, &reason))
    return Fail(isOutput, kWaveErrDeviceFailed,
                std::string("Cannot open the ") + Side(isInput) + " device \"" + shown +
                    "\": " + reason + ".");
  stream = std::move(s);
  return kWaveOk;
}

int PulseWaveService::OpenIn(int deviceId, const WaveFormat& format,
                             std::shared_ptr<WaveInStream>& stream) {
  stream.reset();
  std::shared_ptr<PulseInStream> s;
  const int r = Open(true, deviceId, format, s);
  if (r == kWaveOk && deviceId == kDefaultDevice) {
    // Name the default by the device it really is, for the diagnostics.
    ReadDevices(true);
    s->Rename(DescriptionOf(true, s->ServerDeviceName()));
  }
  stream = s;
  return r;
}

int PulseWaveService::OpenOut(int deviceId, const WaveFormat& format,
                              std::shared_ptr<WaveOutStream>& stream) {
  stream.reset();
  std::shared_ptr<PulseOutStream> s;
  const int r = Open(false, deviceId, format, s);
  if (r == kWaveOk && deviceId == kDefaultDevice) {
    ReadDevices(false);
    s->Rename(DescriptionOf(false, s->ServerDeviceName()));
  }
  stream = s;
  return r;
}

}  // namespace varn
