#include "settings/basic_settings.h"

#include "settings/number_field.h"
#include "settings/setting_check.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"

namespace varn {

BasicSettingsValues LoadBasicSettings() {
  SettingsBatch batch;
  BasicSettingsValues v;
  for (size_t i = 0; i < v.numbers.size(); ++i) v.numbers[i] = ShownFieldText(kBasicFields[i].key);
  v.dataFolder = ReadKeyText("Soundpath");
  for (size_t i = 0; i < v.checks.size(); ++i) v.checks[i] = ReadKeyInt(kBasicChecks[i].key) != 0;
  return v;
}

std::string BasicSettingsRefusal(const BasicSettingsValues& values) {
  return LengthRefusal("Soundpath", values.dataFolder);
}

void StoreBasicSettings(BasicSettingsValues& values) {
  SettingsBatch batch;
  for (size_t i = 0; i < values.numbers.size(); ++i) {
    if (auto stored = StoreFieldValue(kBasicFields[i].key, values.numbers[i]))
      values.numbers[i] = *stored;
  }
  WriteSetting("Soundpath", values.dataFolder);
  for (size_t i = 0; i < values.checks.size(); ++i)
    WriteSetting(kBasicChecks[i].key, static_cast<int32_t>(values.checks[i] != 0));
}

}  // namespace varn
