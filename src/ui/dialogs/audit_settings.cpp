#include "ui/dialogs/audit_settings.h"

#include <algorithm>

#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "ui/dialogs/numeric_text.h"

namespace varn {

namespace {

void StoreField(int set, size_t i, AuditSetValues& values) {
  const NumberField& f = kAuditFields[i];
  if (auto stored = StoreNumericValue(values.numbers[i], f.minimum, f.maximum, f.decimals,
                                      SetKey(f.key, set)))
    values.numbers[i] = *stored;
}

}  // namespace

int StoredSelectedSet() { return std::clamp(ReadKeyInt("SelectedSetting"), 1, kSetCount); }

AuditSetValues LoadAuditSet(int set) {
  SettingsBatch batch;
  AuditSetValues v;
  for (size_t i = 0; i < v.numbers.size(); ++i)
    v.numbers[i] = ShownFieldText(SetKey(kAuditFields[i].key, set), kAuditFields[i].decimals);
  v.fftInfinite = ReadKeyInt(SetKey("FFTInfinite_", set)) != 0;
  return v;
}

void StoreAuditSet(int set, AuditSetValues& values) {
  SettingsBatch batch;
  for (size_t i = 0; i < 3; ++i) StoreField(set, i, values);
  WriteSetting("SelectedSetting", static_cast<int32_t>(set));
  WriteSetting(SetKey("FFTInfinite_", set), static_cast<int32_t>(values.fftInfinite != 0));
  for (size_t i = 3; i < values.numbers.size(); ++i) StoreField(set, i, values);
}

}  // namespace varn
