#pragma once
// A wave buffer header, shared between the program's thread and an audio
// backend's thread. The backend touches only `flags` (it sets kWaveDone) and
// `bytesRecorded`; both are atomics, written with release and read with
// acquire, so the samples a backend wrote before raising them are visible.

#include <atomic>
#include <cstdint>

namespace varn {

inline constexpr uint32_t kWaveDone = 0x01;      // the backend has finished with the buffer
inline constexpr uint32_t kWavePrepared = 0x02;  // prepared on a device
inline constexpr uint32_t kWaveInQueue = 0x10;   // queued on a device

struct WaveHeader {
  uint8_t* data = nullptr;    // the buffer's first byte
  uint32_t bufferLength = 0;  // bytes
  std::atomic<uint32_t> bytesRecorded{0};
  uintptr_t user = 0;
  std::atomic<uint32_t> flags{0};
  uint32_t loops = 0;

  bool Done() const { return (flags.load(std::memory_order_acquire) & kWaveDone) != 0; }
  uint32_t BytesRecorded() const { return bytesRecorded.load(std::memory_order_acquire); }
};

}  // namespace varn
