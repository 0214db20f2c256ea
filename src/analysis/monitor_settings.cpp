#include "analysis/monitor_settings.h"

#include "settings/setting_keys.h"

namespace varn {

MonitorSettings LoadMonitorSettings(int set) {
  MonitorSettings s;
  s.peakHoldSec = ReadKeyReal(SetKey("PeakHoldSec_", set));
  s.fftAvrSec = ReadKeyReal(SetKey("FFTAvrSec_", set));
  s.maxGateLevel = ReadKeyReal(SetKey("MaxGateLevel_", set));
  s.minGateLevel = ReadKeyReal(SetKey("MinGateLevel_", set));
  s.minGateSpan = ReadKeyInt(SetKey("MinGateSpan_", set));
  s.fftInfinite = ReadKeyInt(SetKey("FFTInfinite_", set));
  s.puchiSense = ReadKeyInt(SetKey("PuchiSense_", set));
  s.puchiOkLength = ReadKeyReal(SetKey("PuchiOKLength_", set));
  s.fftSense = ReadKeyInt(SetKey("FFTSense_", set));
  return s;
}

}  // namespace varn
