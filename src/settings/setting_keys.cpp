#include "settings/setting_keys.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "settings/folders.h"
#include "settings/setting_check.h"
#include "settings/setting_value.h"
#include "settings/settings_store.h"
#include "util/numeric.h"
#include "util/text.h"

namespace varn {

namespace {

using enum KeyScope;
using enum SettingType;
constexpr DialogRange kFlag{0, 1, "0"};

// The rates capture and the dialog's lists know, the formats capture takes
// (mono and stereo 16-bit), the stereo modes, the archive bit rates (0 for
// WAV, else those MPEG audio defines) and the meter's number modes.
constexpr int32_t kRates[] = {192000, 96000, 88200, 48000, 44100, 32000,
                              24000,  22050, 16000, 12000, 11025, 8000};
constexpr int32_t kCaptureFormats[] = {2, 3};
constexpr int32_t kStereoModes[] = {0, 1, 2, 3};
constexpr int32_t kBitRates[] = {0,  8,   16,  24,  32,  40,  48,  56,  64, 80,
                                 96, 112, 128, 144, 160, 192, 224, 256, 320};
constexpr int32_t kMeterModes[] = {0, 1, 2, 3};

// clang-format off
constexpr std::array kCatalogue = {
  // Global keys.
  SettingKeyInfo{"ErrorCatch", Global, Integer, "0"},
  SettingKeyInfo{"LogError", Global, Integer, "1"},
  SettingKeyInfo{"LangMode", Global, Integer, "0"},
  SettingKeyInfo{"Soundpath", Global, Text, "", DefaultKind::DataFolder},
  SettingKeyInfo{"TimerUpdateInt", Global, Integer, "10", DefaultKind::Fixed, DialogRange{1, 1000, "0"}},
  SettingKeyInfo{"ShowLevelValues", Global, Integer, "1", DefaultKind::Fixed, kFlag},
  SettingKeyInfo{"NumRec", Global, Integer, "1", DefaultKind::Fixed, DialogRange{1, 8, "0"}},
  SettingKeyInfo{"MaxNumX", Global, Integer, "4", DefaultKind::Fixed, DialogRange{1, 8, "0"}},
  SettingKeyInfo{"SelectedSetting", Global, Integer, "1", DefaultKind::Fixed, DialogRange{1, 8, "0"}},
  SettingKeyInfo{"ShowRecButton", Global, Integer, "1", DefaultKind::Fixed, kFlag},
  SettingKeyInfo{"ShowChName", Global, Integer, "1", DefaultKind::Fixed, kFlag},
  SettingKeyInfo{"LoudnessView", Global, Integer, "0", DefaultKind::Fixed, kFlag},
  SettingKeyInfo{"AlarmView", Global, Integer, "1", DefaultKind::Fixed, kFlag},
  SettingKeyInfo{"VULevelTrim", Global, Text, "-20.0", DefaultKind::Fixed, DialogRange{-60, 60, "0.0"}},
  SettingKeyInfo{"MonDeviceName", Global, Text, ""},
  SettingKeyInfo{"BufferDelay", Global, Integer, "300", DefaultKind::Fixed, DialogRange{1, 2000, "0"}},
  SettingKeyInfo{"InputTimeoutSec", Global, Real, "3", DefaultKind::Fixed, DialogRange{1, 60, "0.0"}},
  SettingKeyInfo{"LoudnessLog", Global, Integer, "1", DefaultKind::Fixed, kFlag},
  // 1: a channel whose named input is missing records the default one (and
  // says so); 0: it waits for its own device.
  SettingKeyInfo{"DeviceFallback", Global, Integer, "1", DefaultKind::Fixed, kFlag},
  LongValue(SettingKeyInfo{"EventCommand", Global, Text, ""}),
  LongValue(SettingKeyInfo{"ArchiveCommand", Global, Text, ""}),
  SettingKeyInfo{"HookTimeoutSec", Global, Real, "30", DefaultKind::Fixed, DialogRange{1, 3600, "0.0"}},
  LongValue(SettingKeyInfo{"MetricsListen", Global, Text, ""}),  // [ADDR:]PORT of the metrics endpoint; "" none
  // The web console: the same listener as MetricsListen under its own name,
  // who may use it, and HTTPS.
  LongValue(SettingKeyInfo{"HttpListen", Global, Text, ""}),
  LongValue(SettingKeyInfo{"HttpUsersFile", Global, Text, ""}),
  SettingKeyInfo{"HttpOpen", Global, Integer, "0", DefaultKind::Fixed, kFlag},
  LongValue(SettingKeyInfo{"HttpTlsCert", Global, Text, ""}),
  LongValue(SettingKeyInfo{"HttpTlsKey", Global, Text, ""}),
  SettingKeyInfo{"WindowLeft", Global, Integer, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"WindowTop", Global, Integer, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"WindowHeight", Global, Real, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"WindowWidth", Global, Real, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"WindowState", Global, Short, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"LogWindowLeft", Global, Integer, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"LogWindowTop", Global, Integer, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"LogWindowHeight", Global, Real, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"LogWindowWidth", Global, Real, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"LogWindowState", Global, Short, "", DefaultKind::WindowCurrent},
  SettingKeyInfo{"TabWidth_LV_", Column, Integer, "900"},
  // The loudness each line's hour should have, in LUFS (for the alert rules).
  SettingKeyInfo{"LoudnessTarget", Global, Real, "-23", DefaultKind::Fixed, DialogRange{-70, 0, "0.0"}},
  // Keeping the archive: days kept (0 everything), the free space kept on
  // the data folder's file system (0 off), and a .sha256 beside each file.
  SettingKeyInfo{"ArchiveKeepDays", Global, Integer, "0", DefaultKind::Fixed, DialogRange{0, 3650, "0"}},
  SettingKeyInfo{"ArchiveMinFreeMB", Global, Integer, "0", DefaultKind::Fixed, DialogRange{0, 100000000, "0"}},
  SettingKeyInfo{"ArchiveChecksum", Global, Integer, "0", DefaultKind::Fixed, kFlag},
  // Network streams as input devices: "NAME|URL", and their jitter buffer.
  LongValue(SettingKeyInfo{"Stream_", KeyScope::Stream, Text, ""}),
  SettingKeyInfo{"StreamBufferMs", Global, Integer, "2000", DefaultKind::Fixed, DialogRange{200, 30000, "0"}},
  // Channel keys.
  SettingKeyInfo{"ChName_", Channel, Text, "", DefaultKind::ChannelName},
  SettingKeyInfo{"DeviceName_", Channel, Text, ""},
  SettingKeyInfo{"RecMode_", Channel, Integer, "3", DefaultKind::Fixed, std::nullopt, kCaptureFormats},
  SettingKeyInfo{"RecFreq_", Channel, Integer, "44100", DefaultKind::Fixed, std::nullopt, kRates},
  SettingKeyInfo{"BitRate_", Channel, Integer, "160", DefaultKind::Fixed, std::nullopt, kBitRates},
  SettingKeyInfo{"BufferSec_", Channel, Integer, "3", DefaultKind::Fixed, DialogRange{3, 100, "0.0"}},
  SettingKeyInfo{"RecLevelDB_", Channel, Real, "0", DefaultKind::Fixed, DialogRange{-99, 40, "0.0"}},
  SettingKeyInfo{"ArcOn_", Channel, Integer, "1", DefaultKind::Fixed, kFlag},
  SettingKeyInfo{"StereoMode_", Channel, Integer, "0", DefaultKind::Fixed, std::nullopt, kStereoModes},
  SettingKeyInfo{"VUValueShows_", Channel, Integer, "0", DefaultKind::Fixed, std::nullopt, kMeterModes},
  SettingKeyInfo{"FFTOffset_", Channel, Real, "50"},
  // 0: the line may be silent at times (the alert rules leave its silence alone).
  SettingKeyInfo{"ExpectAudio_", Channel, Integer, "1", DefaultKind::Fixed, kFlag},
  // -1: ArchiveKeepDays; otherwise this line's own days (0 keeps everything).
  SettingKeyInfo{"ArchiveKeepDays_", Channel, Integer, "-1", DefaultKind::Fixed, DialogRange{-1, 3650, "0"}},
  // Setting-set keys.
  SettingKeyInfo{"WaveRate_", Set, Real, "1", DefaultKind::Fixed, DialogRange{0.1, 10, "0.0"}},
  SettingKeyInfo{"FFTRate_", Set, Real, "1", DefaultKind::Fixed, DialogRange{0.1, 10, "0.0"}},
  SettingKeyInfo{"PeakHoldSec_", Set, Real, "2", DefaultKind::Fixed, DialogRange{0.1, 10, "0.0"}},
  SettingKeyInfo{"FFTAvrSec_", Set, Real, "0.7"},
  SettingKeyInfo{"MaxGateLevel_", Set, Real, "0", DefaultKind::Fixed, DialogRange{-99, 40, "0.0"}},
  SettingKeyInfo{"MinGateLevel_", Set, Real, "-90", DefaultKind::Fixed, DialogRange{-99, 40, "0.0"}},
  SettingKeyInfo{"MinGateSpan_", Set, Integer, "300", DefaultKind::Fixed, DialogRange{1, 1000, "0"}},
  SettingKeyInfo{"FFTInfinite_", Set, Integer, "0", DefaultKind::Fixed, kFlag},
  SettingKeyInfo{"PuchiSense_", Set, Integer, "50", DefaultKind::Fixed, DialogRange{0, 100, "0"}},
  SettingKeyInfo{"PuchiOKLength_", Set, Real, "1"},
  SettingKeyInfo{"FFTSense_", Set, Integer, "50", DefaultKind::Fixed, DialogRange{0, 100, "0"}},
};
// clang-format on

bool AllDigits(std::string_view s) {
  return !s.empty() && s.size() <= 9 &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::span<const SettingKeyInfo> SettingCatalogue() { return kCatalogue; }

int ScopeCount(KeyScope scope) {
  switch (scope) {
    case Global:
      return 0;
    case Channel:
    case Set:
      return 8;
    case Column:
      return 5;
    case KeyScope::Stream:
      return 16;
  }
  return 0;
}

std::optional<DialogRange> KeyRange(std::string_view keyOrStem) {
  const SettingKeyInfo* info = FindSettingKey(keyOrStem);
  if (!info && !keyOrStem.empty() && keyOrStem.back() == '_')
    info = FindSettingKey(std::string(keyOrStem) + "1");
  return info ? info->range : std::nullopt;
}

const SettingKeyInfo* FindSettingKey(std::string_view key, int* number) {
  for (const auto& info : kCatalogue) {
    if (info.scope == Global) {
      if (EqualsIgnoreCase(key, info.name)) {
        if (number) *number = 0;
        return &info;
      }
      continue;
    }
    if (!StartsWithIgnoreCase(key, info.name)) continue;
    const std::string_view digits = key.substr(info.name.size());
    if (!AllDigits(digits) || digits.front() == '0') continue;
    if (number) *number = std::stoi(std::string(digits));
    return &info;
  }
  return nullptr;
}

size_t SettingValueLimit(std::string_view key) {
  const SettingKeyInfo* info = FindSettingKey(key);
  return info ? info->maxBytes : kOriginalValueBytes;
}

std::string SettingDefault(std::string_view key) {
  int number = 0;
  const SettingKeyInfo* info = FindSettingKey(key, &number);
  if (!info) return "";
  switch (info->defaultKind) {
    case DefaultKind::Fixed:
      return std::string(info->defaultText);
    case DefaultKind::DataFolder:
      return NormaliseFolder(AppFolder(), false) + "varn_data/";
    case DefaultKind::ChannelName:
      return "系統名" + std::to_string(number);
    case DefaultKind::WindowCurrent:
      return "";
  }
  return "";
}

std::string ChannelKey(std::string_view stem, int channelIndex) {
  return std::string(stem) + std::to_string(channelIndex + 1);
}

std::string SetKey(std::string_view stem, int set) {
  return std::string(stem) + std::to_string(set);
}

namespace {
// The stored text as the program uses it: a value its key's rules refuse
// is replaced as the check of the settings file says.
std::string UsedText(std::string_view key, const std::string& def) {
  return UsableSettingText(key, ReadSetting(key, def));
}
}  // namespace

int32_t ReadKeyInt(std::string_view key) {
  const std::string def = SettingDefault(key);
  const int32_t fallback = TextToInt(def).value_or(0);
  return TextToInt(UsedText(key, def)).value_or(fallback);
}

int16_t ReadKeyShort(std::string_view key) {
  const std::string def = SettingDefault(key);
  const int16_t fallback = TextToShort(def).value_or(0);
  return TextToShort(UsedText(key, def)).value_or(fallback);
}

float ReadKeyReal(std::string_view key) {
  const std::string def = SettingDefault(key);
  const float fallback = TextToReal(def).value_or(0.0f);
  return TextToReal(UsedText(key, def)).value_or(fallback);
}

std::string ReadKeyText(std::string_view key) { return UsedText(key, SettingDefault(key)); }

double ClampToDialogRange(std::string_view key, double value) {
  const SettingKeyInfo* info = FindSettingKey(key);
  if (!info || !info->range) return value;
  double v = std::clamp(value, info->range->min, info->range->max);
  if (info->range->pattern == "0") return RoundHalfEven(v);
  return RoundHalfEven(v * 10.0) / 10.0;
}

}  // namespace varn
