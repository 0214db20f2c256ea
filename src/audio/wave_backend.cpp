#include "audio/wave_backend.h"

#include "audio/pulse/pulse_service.h"
#include "audio/sim/sim_service.h"
#include "util/text.h"

namespace varn {

namespace {

std::unique_ptr<WaveService> CreateBackend(std::string_view choice, std::string* note) {
  const std::string c = ToLowerAscii(TrimBlanks(choice));
  auto sim = [] {
    return std::make_unique<SimWaveService>(SimPace::RealTime,
                                            SimWaveService::FilesFolderFromEnvironment());
  };
  if (c == "sim") {
    if (note) *note = "audio: virtual devices (sim)";
    return sim();
  }
  if (c == "pulse") {
    // Chosen explicitly: kept even without a server, whose absence each
    // open then reports; a server that starts later is found then.
    if (note) *note = "audio: PulseAudio (pulse)";
    return std::make_unique<PulseWaveService>();
  }
  std::string reason;
  if (auto connection = PulseConnection::Connect("", kAutoProbeTimeoutMs, &reason)) {
    if (note) *note = "audio: PulseAudio (pulse)";
    return std::make_unique<PulseWaveService>("", std::move(connection));
  }
  if (note)
    *note = "audio: no PulseAudio server answered (" + reason + "); using virtual devices (sim)";
  return sim();
}

}  // namespace

std::unique_ptr<WaveService> CreateWaveService(std::string_view choice, std::string* note,
                                               StreamInputs streams) {
  std::unique_ptr<WaveService> backend = CreateBackend(choice, note);
  if (streams.streams.empty()) return backend;
  if (note) *note += "; " + std::to_string(streams.streams.size()) + " network stream(s)";
  return std::make_unique<StreamWaveService>(std::move(backend), std::move(streams));
}

}  // namespace varn
