#pragma once
// The monitoring values of the selected setting set, as the analysis uses
// them. Read from the store by LoadMonitorSettings; the live program reloads
// them whenever a settings dialog is confirmed.

#include <cstdint>

namespace varn {

struct MonitorSettings {
  float peakHoldSec = 2.0f;     // PeakHoldSec_: meter and spectrum hold time
  float fftAvrSec = 0.7f;       // FFTAvrSec_: spectrum averaging time
  float maxGateLevel = 0.0f;    // MaxGateLevel_: over-level threshold, dB peak
  float minGateLevel = -90.0f;  // MinGateLevel_: low-level threshold, dB RMS
  int32_t minGateSpan = 300;    // MinGateSpan_: low-level window, ms
  int32_t fftInfinite = 0;      // FFTInfinite_: non-zero holds the spectrum peak for the whole run
  int32_t puchiSense = 50;      // PuchiSense_: click sensitivity, 0 = off
  float puchiOkLength = 1.0f;   // PuchiOKLength_: click lockout, seconds
  int32_t fftSense = 50;        // FFTSense_: spectrum-change sensitivity, 0 = off

  bool operator==(const MonitorSettings&) const = default;
};

// The values of setting set `set` (1..8) from the active settings store, each
// falling back to its default when the stored text is not a number.
MonitorSettings LoadMonitorSettings(int set);

}  // namespace varn
