#pragma once
// The values of the audit settings dialog (FrmConfAudit): one of the eight
// setting sets at a time, and the order a set is stored in.

#include <array>
#include <string>

#include "settings/number_field.h"

namespace varn {

inline constexpr const char* kAuditCaption = "監査設定";
inline constexpr int kSetCount = 8;
// Tab i reads "設定" + (i + 1) and shows set i + 1.
inline constexpr const char* kSetTabPrefix = "設定";
inline constexpr const char* kFftInfiniteCaption = "FFT PH無限";
// Keys are these stems followed by the set number.
inline constexpr NumberField kAuditFields[8] = {
    {"波形表示倍率", "", "WaveRate_"},
    {"FFT表示倍率", "", "FFTRate_"},
    {"ピークホールド", "秒", "PeakHoldSec_"},
    {"監視最大レベル(Peak)", "db", "MaxGateLevel_"},
    {"監視最小レベル(RMS)", "db", "MinGateLevel_"},
    {"監視最小レベル長さ", "msec", "MinGateSpan_"},
    {"プチ音検出感度", "(0-100)", "PuchiSense_"},
    {"FFT監査感度", "(0-100)", "FFTSense_"},
};

struct AuditSetValues {
  std::array<std::string, 8> numbers;  // the texts of kAuditFields
  int fftInfinite = 0;
};

// The active set, kept to 1..8 whatever a hand-edited store says.
int StoredSelectedSet();

AuditSetValues LoadAuditSet(int set);

// Stores set `set` and makes it the active set: the three display fields,
// "SelectedSetting", "FFTInfinite_", then the five monitor fields. A number
// that is not numeric leaves its key alone; the others are clamped and their
// texts replaced by what was stored.
void StoreAuditSet(int set, AuditSetValues& values);

}  // namespace varn
