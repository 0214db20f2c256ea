#pragma once
// The settings rules of the whole program: the catalogue's
// (CheckSettingValue) and, for the keys that hold an address to listen on,
// that the text is one ([ADDR:]PORT, or empty for none), which only this
// layer can tell. `config set`, `config get`, `config check` and the check
// at start-up all judge by this, so they agree.

#include <string_view>

#include "settings/setting_check.h"

namespace varn {

SettingCheck CheckProgramSetting(std::string_view key, std::string_view value);

}  // namespace varn
