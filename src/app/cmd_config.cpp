// varn config get|set|list: the settings of a machine without a screen.

#include <iostream>

#include "app/commands.h"
#include "settings/ini_document.h"
#include "settings/program_setup.h"
#include "settings/setting_keys.h"
#include "settings/setting_value.h"

namespace varn {
namespace {

std::string Value(const std::string& key) { return ReadSetting(key, SettingDefault(key)); }

// A hint for the operator when a value will not be read as meant.
void WarnIfUnusable(const std::string& key, const std::string& value) {
  const SettingKeyInfo* info = FindSettingKey(key);
  if (!info) {
    std::cerr << "varn: note: " << key << " is not a setting varn reads\n";
    return;
  }
  const bool usable = (info->type == SettingType::Integer && TextToInt(value)) ||
                      (info->type == SettingType::Short && TextToShort(value)) ||
                      (info->type == SettingType::Real && TextToReal(value)) ||
                      info->type == SettingType::Text;
  if (!usable)
    std::cerr << "varn: note: \"" << value << "\" is not a number; " << key
              << " will be read as its default\n";
}

int RunList() {
  for (const SettingKeyInfo& info : SettingCatalogue()) {
    std::string key(info.name);
    if (info.scope == KeyScope::Column) {
      for (int column = 1; column <= 5; ++column) {
        const std::string k = key + std::to_string(column);
        std::cout << k << "=" << Value(k) << "\n";
      }
      continue;
    }
    if (info.scope != KeyScope::Global) key += "1";
    std::cout << key << "=" << Value(key) << "\n";
  }
  return 0;
}

const CommandRegistration kConfig(30, [](CLI::App& app, const CommonOptions& options,
                                         int& exitCode) {
  auto* cmd = app.add_subcommand("config", "Read or change the settings");
  cmd->require_subcommand(1);
  auto key = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();

  auto* get = cmd->add_subcommand("get", "Print a setting (its default when it is not stored)");
  get->add_option("KEY", *key, "Setting key, for example NumRec or DeviceName_1")->required();
  get->callback([&options, key, &exitCode] {
    ProgramServices services(options.appFolder);
    std::cout << Value(*key) << "\n";
    exitCode = 0;
  });

  auto* set = cmd->add_subcommand("set", "Store a setting");
  set->add_option("KEY", *key, "Setting key")->required();
  set->add_option("VALUE", *value, "New value (empty text is allowed)")->required();
  set->callback([&options, key, value, &exitCode] {
    if (!IniDocument::IsUsableKey(*key)) {
      std::cerr << "varn: \"" << *key << "\" cannot be a setting key\n";
      exitCode = 2;
      return;
    }
    ProgramServices services(options.appFolder);
    WarnIfUnusable(*key, *value);
    WriteSetting(*key, *value);
    exitCode = 0;
  });

  auto* list =
      cmd->add_subcommand("list", "Print every global setting and those of channel and set 1");
  list->callback([&options, &exitCode] {
    ProgramServices services(options.appFolder);
    exitCode = RunList();
  });
});

}  // namespace
}  // namespace varn
