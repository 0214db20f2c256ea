#pragma once
// The settings reference, made from the catalogue and its notes: what
// `varn config describe` prints and what the README's "Settings reference"
// section holds (scripts/settings_reference.sh writes it there).

#include <string>

#include "settings/setting_keys.h"

namespace varn {

// The key as the reference names it: "NumRec", "DeviceName_N".
std::string ReferenceName(const SettingKeyInfo& info);

// One key as a block of lines: the name, then its scope, kind, range or
// list, default, unit and meaning, one a line.
std::string DescribeSetting(const SettingKeyInfo& info);

// Every key, one block after another with a blank line between.
std::string DescribeAllSettings();

// Every key as one row of a Markdown table, with its header.
std::string SettingsReferenceTable();

}  // namespace varn
