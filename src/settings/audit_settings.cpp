#include "settings/audit_settings.h"

#include <algorithm>

#include "settings/number_field.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"

namespace varn {

namespace {

void StoreField(int set, size_t i, AuditSetValues& values) {
  if (auto stored = StoreFieldValue(SetKey(kAuditFields[i].key, set), values.numbers[i]))
    values.numbers[i] = *stored;
}

}  // namespace

int StoredSelectedSet() { return std::clamp(ReadKeyInt("SelectedSetting"), 1, kSetCount); }

AuditSetValues LoadAuditSet(int set) {
  SettingsBatch batch;
  AuditSetValues v;
  for (size_t i = 0; i < v.numbers.size(); ++i)
    v.numbers[i] = ShownFieldText(SetKey(kAuditFields[i].key, set));
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
