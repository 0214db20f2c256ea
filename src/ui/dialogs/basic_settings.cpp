#include "ui/dialogs/basic_settings.h"

#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "ui/dialogs/numeric_text.h"

namespace varn {

BasicSettingsValues LoadBasicSettings() {
  SettingsBatch batch;
  BasicSettingsValues v;
  for (size_t i = 0; i < v.numbers.size(); ++i)
    v.numbers[i] = ShownFieldText(kBasicFields[i].key, kBasicFields[i].decimals);
  v.dataFolder = ReadKeyText("Soundpath");
  for (size_t i = 0; i < v.checks.size(); ++i) v.checks[i] = ReadKeyInt(kBasicChecks[i].key) != 0;
  return v;
}

void StoreBasicSettings(BasicSettingsValues& values) {
  SettingsBatch batch;
  for (size_t i = 0; i < values.numbers.size(); ++i) {
    const NumberField& f = kBasicFields[i];
    if (auto stored = StoreNumericValue(values.numbers[i], f.minimum, f.maximum, f.decimals, f.key))
      values.numbers[i] = *stored;
  }
  WriteSetting("Soundpath", values.dataFolder);
  for (size_t i = 0; i < values.checks.size(); ++i)
    WriteSetting(kBasicChecks[i].key, static_cast<int32_t>(values.checks[i] != 0));
}

}  // namespace varn
