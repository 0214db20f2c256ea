#pragma once
// The check of the settings file in use, at start-up and by `varn config
// check`: every stored value the program cannot use as it stands (the wrong
// kind, out of range, not in its list, longer than its key holds, a NUL
// byte, a key given twice) and every line of the [conf] section that is no
// setting, each named once with its line and what is used in its place.
// Keys the catalogue does not know are left alone: they are never read.

#include <cstddef>
#include <string>
#include <vector>

#include "settings/setting_check.h"

namespace varn {

class SettingsStore;

struct SettingProblem {
  size_t line = 0;        // 1-based
  std::string key;        // the key as the file writes it; "" for a line that is no setting
  bool replaced = false;  // the line the program reads, its value replaced by `used`
  std::string used;
  // "varn.ini line 7: NumRec=banana is not a whole number from 1 to 8; using 1"
  std::string text;
};

// The problems of the file `store` reads this run (varn.ini or varn.conf),
// in line order; none when the file is missing. `rule` judges each value.
std::vector<SettingProblem> CheckSettingsFile(const SettingsStore& store,
                                              const SettingRule& rule = CheckSettingValue);

// The problem of the line that `key` (case ignored) is read from, or nullptr.
const SettingProblem* FindSettingProblem(const std::vector<SettingProblem>& problems,
                                         std::string_view key);

}  // namespace varn
