#pragma once
// The virtual devices: built-in signals, one input per audio file in the
// folder named by VARN_SIM_FILES, and a null output. They let the program
// run, and the tests drive capture and monitor, without any sound hardware.

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "audio/sim/sim_streams.h"
#include "audio/wave_service.h"

namespace varn {

inline constexpr std::string_view kSimNullOutputName = "Sim Null Output";
inline constexpr std::string_view kSimFilePrefix = "Sim File ";
// The input that device -1 (the default) opens: "Sim Programme".
inline constexpr int kSimDefaultInput = 2;

class SimWaveService final : public WaveService {
 public:
  // `filesFolder`: the folder whose audio files become "Sim File" inputs;
  // empty for none.
  explicit SimWaveService(SimPace pace = SimPace::RealTime, std::string filesFolder = {});
  // The folder of VARN_SIM_FILES, or empty.
  static std::string FilesFolderFromEnvironment();

  std::string BackendName() const override { return "sim"; }
  int DeviceCount(bool isInput) override;
  std::string DeviceName(bool isInput, int id) override;
  int OpenIn(int deviceId, const WaveFormat& format,
             std::shared_ptr<WaveInStream>& stream) override;
  int OpenOut(int deviceId, const WaveFormat& format,
              std::shared_ptr<WaveOutStream>& stream) override;

  // Manual pace: produces `frames` frames now on every open stream of input
  // device `deviceId` (kDefaultDevice is the default input, kSimDefaultInput). Returns the streams
  // driven.
  int Produce(int deviceId, size_t frames);
  // Manual pace: every open output stream plays `frames` frames now.
  int Consume(size_t frames);
  // The bytes the output streams played since the last call (manual pace).
  std::vector<uint8_t> TakePlayed() { return tap_->Take(); }
  // How often an output device was opened.
  int OutputOpenCount() const { return outputOpens_; }
  // Outputs opened from now on run on a clock `rate` times as fast as the
  // inputs' (0.995: half a per cent slow). At real-time pace such an output
  // has a pacer thread of its own, as a second sound card has its own
  // interrupt, so it meets capture only through the program's thread.
  void SetOutputRate(double rate) { outputRate_ = rate; }

  // Makes a device fail as if unplugged: its open streams fail with `reason`
  // and it cannot be opened until RestoreDevice.
  void FailDevice(bool isInput, int deviceId, const std::string& reason);
  void RestoreDevice(bool isInput, int deviceId);

 private:
  struct InputDevice {
    std::string name;
    int signal = -1;   // index into kSimSignalKinds, or -1 for a file
    std::string path;  // the file of a "Sim File" device
  };
  void ReadInputList();
  // The pacer thread, made with the first real-time device; null at manual pace.
  std::shared_ptr<SimPacer> Pacer();
  int Resolve(bool isInput, int deviceId) const;

  SimPace pace_;
  std::shared_ptr<SimPacer> pacer_;  // real-time pace: the one thread of every device
  std::string filesFolder_;
  std::vector<InputDevice> inputs_;
  std::shared_ptr<PlayedTap> tap_ = std::make_shared<PlayedTap>();
  std::vector<std::pair<int, std::weak_ptr<SimInStream>>> inStreams_;
  std::vector<std::weak_ptr<SimOutStream>> outStreams_;
  std::set<std::pair<bool, int>> failedDevices_;
  int outputOpens_ = 0;
  double outputRate_ = 1.0;
};

}  // namespace varn
