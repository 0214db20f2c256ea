#include "audio/stream/stream_wave_service.h"

#include <chrono>
#include <thread>

#include "audio/sim/sim_pacer.h"
#include "audio/stream/stream_in_stream.h"
#include "audio/stream/stream_reader.h"
#include "util/keep_until_exit.h"

namespace varn {

namespace {
constexpr std::chrono::milliseconds kStopBudget{1000};
}  // namespace

StreamWaveService::StreamWaveService(std::unique_ptr<WaveService> inner, StreamInputs inputs)
    : inner_(std::move(inner)), inputs_(std::move(inputs)) {}

StreamWaveService::~StreamWaveService() {
  // Shutdown has a budget: a reader still in the network after it (a host
  // name that does not resolve) is left to the end of the process.
  for (const Entry& e : readers_) e.reader->RequestStop();
  const auto deadline = std::chrono::steady_clock::now() + kStopBudget;
  for (Entry& e : readers_) {
    while (!e.reader->Finished() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!e.reader->Finished()) KeepUntilExit(std::move(e.reader));
  }
}

int StreamWaveService::DeviceCount(bool isInput) {
  const int count = inner_->DeviceCount(isInput);
  if (!isInput) return count;
  return std::max(count, 0) + static_cast<int>(inputs_.streams.size());
}

std::string StreamWaveService::DeviceName(bool isInput, int id) {
  if (!isInput) return inner_->DeviceName(false, id);
  const int count = std::max(inner_->DeviceCount(true), 0);
  if (id >= count && id - count < static_cast<int>(inputs_.streams.size()))
    return inputs_.streams[static_cast<size_t>(id - count)].name;
  return inner_->DeviceName(true, id);
}

int StreamWaveService::OpenIn(int deviceId, const WaveFormat& format,
                              std::shared_ptr<WaveInStream>& stream) {
  stream.reset();
  if (deviceId >= 0) {
    const int count = std::max(inner_->DeviceCount(true), 0);
    if (deviceId >= count && deviceId - count < static_cast<int>(inputs_.streams.size()))
      return OpenStream(static_cast<size_t>(deviceId - count), format, stream);
  }
  const int r = inner_->OpenIn(deviceId, format, stream);
  return r == kWaveOk ? r : Fail(false, r, inner_->ErrorText(r, false));
}

int StreamWaveService::OpenOut(int deviceId, const WaveFormat& format,
                               std::shared_ptr<WaveOutStream>& stream) {
  const int r = inner_->OpenOut(deviceId, format, stream);
  return r == kWaveOk ? r : Fail(true, r, inner_->ErrorText(r, true));
}

int StreamWaveService::OpenStream(size_t index, const WaveFormat& format,
                                  std::shared_ptr<WaveInStream>& stream) {
  const StreamSetting& s = inputs_.streams[index];
  if (!IsSupportedPcmFormat(format))
    return Fail(false, kWaveErrBadFormat,
                "The stream \"" + s.name + "\" cannot be captured in that format.");
  const int rate = static_cast<int>(format.samplesPerSec);
  const int channels = format.channels;
  Entry* entry = nullptr;
  for (Entry& e : readers_) {
    // One capture stream at a time reads a reader's buffer.
    const std::shared_ptr<WaveInStream> user = e.user.lock();
    if (e.index == index && e.reader->Rate() == rate && e.reader->Channels() == channels &&
        (!user || user->Closed())) {
      entry = &e;
      break;
    }
  }
  const bool created = !entry;
  if (!entry) {
    readers_.push_back(
        {index,
         std::make_shared<StreamReader>(s.name, s.url, rate, channels, inputs_.bufferMs),
         {}});
    entry = &readers_.back();
  }
  const std::shared_ptr<StreamReader> reader = entry->reader;
  reader->Want();
  const StreamReader::State state = reader->CurrentState();
  // A new reader is given its chance: its first connection, refused or
  // not, is then the stream's to report as a failed device.
  if (!created &&
      (state == StreamReader::State::Down || state == StreamReader::State::Connecting)) {
    const std::string why = reader->LastFailure();
    return Fail(false, kWaveErrDeviceFailed,
                "The stream \"" + s.name + "\" cannot be reached" +
                    (why.empty() ? std::string(".") : ": " + why + "."));
  }
  if (!pacer_) pacer_ = std::make_shared<SimPacer>();
  stream = std::make_shared<StreamInStream>(reader, format, pacer_);
  entry->user = stream;
  return kWaveOk;
}

}  // namespace varn
