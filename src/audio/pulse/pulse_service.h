#pragma once
// The wave service over a PulseAudio server. Sources are the input devices
// and sinks the output devices, numbered in the server's order and named by
// their description; device -1 is the server's default. A lost connection
// (server restarted) is made again at the next device list or open.

#include <memory>
#include <string>
#include <vector>

#include "audio/pulse/pulse_connection.h"
#include "audio/wave_service.h"

namespace varn {

class PulseWaveService final : public WaveService {
 public:
  // `server`: empty for the default (PULSE_SERVER, then the user's server).
  // `connection`: an already open connection to use first, or null.
  explicit PulseWaveService(std::string server = {},
                            std::shared_ptr<PulseConnection> connection = nullptr);

  std::string BackendName() const override { return "pulse"; }
  std::string Unreachable() override;
  int DeviceCount(bool isInput) override;
  std::string DeviceName(bool isInput, int id) override;
  int OpenIn(int deviceId, const WaveFormat& format,
             std::shared_ptr<WaveInStream>& stream) override;
  int OpenOut(int deviceId, const WaveFormat& format,
              std::shared_ptr<WaveOutStream>& stream) override;

  // The server's name ("varn_null_a.monitor") of a listed device, or "".
  std::string ServerName(bool isInput, int id) const;

 private:
  struct Device {
    std::string name;         // the server's name
    std::string description;  // what the operator sees
  };
  // The connection, made again when the last one was lost; null with the
  // reason when no server answers.
  std::shared_ptr<PulseConnection> Connection(std::string* error);
  bool ReadDevices(bool isInput);
  std::string DescriptionOf(bool isInput, const std::string& serverName) const;
  template <class Stream>
  int Open(bool isInput, int deviceId, const WaveFormat& format, std::shared_ptr<Stream>& stream);

  std::string server_;
  std::shared_ptr<PulseConnection> connection_;
  std::vector<Device> devices_[2];  // [0] sinks, [1] sources
};

}  // namespace varn
