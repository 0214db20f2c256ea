#pragma once
// The values of the basic settings dialog (FrmConf) and the order they are
// stored in, apart from the window that shows them.

#include <array>
#include <string>

#include "settings/number_field.h"

namespace varn {

inline constexpr const char* kBasicCaption = "基本設定";
inline constexpr NumberField kBasicFields[4] = {
    {"動作間隔", "ms", "TimerUpdateInt"},
    {"系統数", "", "NumRec"},
    {"表示列", "", "MaxNumX"},
    {"メーターレベル", "dbfs", "VULevelTrim"},
};
inline constexpr const char* kDataFolderLabel = "データフォルダ";

struct CheckField {
  const char* caption;
  std::string_view key;
};
inline constexpr CheckField kBasicChecks[5] = {
    {"録音/出力ボタン表示", "ShowRecButton"},
    {"最大/最小レベル表示", "ShowLevelValues"},
    {"系統名表示", "ShowChName"},
    {"ラウドネス表示", "LoudnessView"},
    {"警報表示", "AlarmView"},
};

struct BasicSettingsValues {
  std::array<std::string, 4> numbers;  // the texts of kBasicFields
  std::string dataFolder;
  std::array<int, 5> checks{};  // kBasicChecks, 0 or 1
};

BasicSettingsValues LoadBasicSettings();

// "" when every text fits its key, else why the values cannot be stored
// ("Soundpath holds at most 254 bytes; this value has 300"): the dialog
// then stores nothing rather than a cut path.
std::string BasicSettingsRefusal(const BasicSettingsValues& values);

// Stores every value in the dialog's order. A number that is not numeric
// leaves its key alone; the others are clamped and their texts replaced by
// what was stored. The data folder is stored as typed.
void StoreBasicSettings(BasicSettingsValues& values);

}  // namespace varn
