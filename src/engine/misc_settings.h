#pragma once
// The global and monitoring settings the running program works with: the
// selected setting set's thresholds and display rates, the monitor device,
// the waveform trace scales and the update interval.

#include <cstdint>
#include <string_view>

#include "analysis/monitor_settings.h"

namespace varn {

class DeviceDirectory;

struct MiscSettings {
  int32_t selectedSet = 1;        // p, SelectedSetting
  int32_t monDeviceId = -1;       // MonDeviceName resolved on the output side
  int32_t bufferDelayMs = 300;    // BufferDelay
  float waveRate = 1.0f;          // WaveRate_p, at least 0.2
  double stereoTraceScale = 0.0;  // pixels per sample unit of a stereo trace
  double monoTraceScale = 0.0;    // twice the stereo scale
  float fftRate = 1.0f;           // FFTRate_p, at least 0.2
  MonitorSettings monitoring;     // PeakHoldSec_p .. FFTSense_p
  int32_t updateIntervalMs = 10;  // TimerUpdateInt
  double inputTimeoutSec = 3.0;   // InputTimeoutSec: no audio this long is a stalled input
  bool loudnessLog = true;        // LoudnessLog: each hour's loudness line per channel
  bool loudnessView = false;      // LoudnessView: the meter offers its LUFS mode
  bool deviceFallback = true;     // DeviceFallback: a missing named input records the default
  double loudnessTarget = -23.0;  // LoudnessTarget: LUFS each line's hour should have
};

// Channel 0's waveform view, for the trace scales.
struct WaveViewMetrics {
  int heightTwips = 0;
  int twipsPerPixel = 15;
};

// The device a stored name selects. A blank name is the system's default
// device (the sound server's default source or sink), not whatever device
// the server happens to list first.
int ResolveDeviceName(bool isInput, std::string_view name, DeviceDirectory& devices);

// Reads every value in the loader's order from the active store. A value
// that does not convert is the key's default; a set number or interval
// outside what the dialogs allow is clamped to it.
MiscSettings ReadMiscSettings(DeviceDirectory& devices, const WaveViewMetrics& view);

// q = round(height / 4) integer-divided by twips per pixel; the stereo scale
// is q / 32767 * |rate|, so full scale spans a quarter of the view.
double StereoTraceScale(const WaveViewMetrics& view, float waveRate);

}  // namespace varn
