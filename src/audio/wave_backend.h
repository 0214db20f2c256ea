#pragma once
// Choosing the audio backend: "pulse" (a PulseAudio server), "sim" (the
// virtual devices) or "auto": pulse when a server answers within a short
// time, else sim, so the program always runs.

#include <memory>
#include <string>
#include <string_view>

#include "audio/stream/stream_wave_service.h"
#include "audio/wave_service.h"

namespace varn {

inline constexpr int kAutoProbeTimeoutMs = 1000;

// The service for `choice` (case ignored; anything else counts as "auto").
// `note` says what was chosen and why, for the operator. The catalogue is
// built here: the backend's devices, then every stream of `streams` as an
// input device.
std::unique_ptr<WaveService> CreateWaveService(std::string_view choice, std::string* note = nullptr,
                                               StreamInputs streams = {});

}  // namespace varn
