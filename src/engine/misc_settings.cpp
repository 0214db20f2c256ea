#include "engine/misc_settings.h"

#include <algorithm>
#include <cmath>

#include "audio/device_catalogue.h"
#include "settings/setting_keys.h"
#include "util/numeric.h"
#include "util/text.h"

namespace varn {

namespace {
constexpr float kLowestRate = 0.2f;
}

int ResolveDeviceName(bool isInput, std::string_view name, DeviceDirectory& devices) {
  if (TrimBlanks(name).empty()) return kDefaultDevice;
  return FindDeviceId(isInput, name, devices);
}

double StereoTraceScale(const WaveViewMetrics& view, float waveRate) {
  const int tpp = view.twipsPerPixel > 0 ? view.twipsPerPixel : 15;
  const int32_t q = RoundToInt32(view.heightTwips / 4.0) / tpp;
  return q / 32767.0 * std::fabs(waveRate);
}

MiscSettings ReadMiscSettings(DeviceDirectory& devices, const WaveViewMetrics& view) {
  MiscSettings m;
  // A hand-edited set number outside 1..8 would read keys no dialog writes.
  m.selectedSet = std::clamp(ReadKeyInt("SelectedSetting"), 1, 8);
  const int p = m.selectedSet;
  m.monDeviceId = ResolveDeviceName(false, ReadKeyText("MonDeviceName"), devices);
  m.bufferDelayMs = ReadKeyInt("BufferDelay");
  m.waveRate = std::max(ReadKeyReal(SetKey("WaveRate_", p)), kLowestRate);
  m.stereoTraceScale = StereoTraceScale(view, m.waveRate);
  m.monoTraceScale = 2.0 * m.stereoTraceScale;
  m.fftRate = std::max(ReadKeyReal(SetKey("FFTRate_", p)), kLowestRate);
  m.monitoring = LoadMonitorSettings(p);
  // 0 or less would tick without pause; the dialogs allow 1..1000.
  m.updateIntervalMs = std::clamp(ReadKeyInt("TimerUpdateInt"), 1, 1000);
  m.inputTimeoutSec = std::clamp(static_cast<double>(ReadKeyReal("InputTimeoutSec")), 1.0, 60.0);
  m.deviceFallback = ReadKeyInt("DeviceFallback") != 0;
  m.loudnessLog = ReadKeyInt("LoudnessLog") != 0;
  m.loudnessView = ReadKeyInt("LoudnessView") != 0;
  m.loudnessTarget = std::clamp(static_cast<double>(ReadKeyReal("LoudnessTarget")), -70.0, 0.0);
  return m;
}

}  // namespace varn
