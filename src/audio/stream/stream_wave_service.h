#pragma once
// A backend's devices followed by the configured network streams: input
// device count + k is stream k, named as its setting names it. Everything
// else (outputs, the default device, error texts) is the backend's.
//
// A stream's reader outlives the capture stream that opened it, so a stream
// that dropped is connected again in the background while its channel
// waits: the channel's retry opens the stream only once it is back, and a
// stream that cannot be reached is refused at once (the program's thread
// never waits for the network).

#include <memory>
#include <string>
#include <vector>

#include "audio/wave_service.h"
#include "settings/stream_setting.h"

namespace varn {

class SimPacer;
class StreamReader;

struct StreamInputs {
  std::vector<StreamSetting> streams;
  int bufferMs = kStreamBufferMsDefault;
};

class StreamWaveService final : public WaveService {
 public:
  StreamWaveService(std::unique_ptr<WaveService> inner, StreamInputs inputs);
  ~StreamWaveService() override;

  std::string BackendName() const override { return inner_->BackendName(); }
  std::string Unreachable() override { return inner_->Unreachable(); }
  int DeviceCount(bool isInput) override;
  std::string DeviceName(bool isInput, int id) override;
  int OpenIn(int deviceId, const WaveFormat& format,
             std::shared_ptr<WaveInStream>& stream) override;
  int OpenOut(int deviceId, const WaveFormat& format,
              std::shared_ptr<WaveOutStream>& stream) override;

  WaveService& Inner() { return *inner_; }

 private:
  int OpenStream(size_t index, const WaveFormat& format, std::shared_ptr<WaveInStream>& stream);

  struct Entry {
    size_t index;
    std::shared_ptr<StreamReader> reader;
    std::weak_ptr<WaveInStream> user;  // the capture stream reading it, if any
  };
  std::unique_ptr<WaveService> inner_;
  StreamInputs inputs_;
  std::shared_ptr<SimPacer> pacer_;
  std::vector<Entry> readers_;
};

}  // namespace varn
