#include "ops/setting_rules.h"

#include "ops/listen_address.h"
#include "ops/metrics_endpoint.h"
#include "settings/setting_keys.h"

namespace varn {

SettingCheck CheckProgramSetting(std::string_view key, std::string_view value) {
  SettingCheck check = CheckSettingValue(key, value);
  if (!check.ok || check.stored.empty()) return check;  // empty: the endpoint is off
  const SettingKeyInfo* info = FindSettingKey(key);
  if (!info || info->name != kMetricsListenKey) return check;
  if (const ListenParse p = ParseListenAddress(check.stored); !p.address)
    return {false, "", std::string(kMetricsListenKey) + " " + p.error,
            "an address and port to listen on ([ADDR:]PORT)"};
  return check;
}

}  // namespace varn
