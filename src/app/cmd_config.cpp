// varn config get|set|list: the settings of a machine without a screen.

#include <iostream>

#include "app/commands.h"
#include "ops/listen_address.h"
#include "ops/metrics_endpoint.h"
#include "settings/program_setup.h"
#include "settings/setting_check.h"
#include "settings/setting_keys.h"

namespace varn {
namespace {

std::string Value(const std::string& key) { return ReadSetting(key, SettingDefault(key)); }

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
    if (!IsKnownSetting(*key)) {
      std::cerr << "varn: unknown setting " << *key << "\n";
      exitCode = 2;
      return;
    }
    ProgramServices services(options.appFolder);
    std::cout << Value(*key) << "\n";
    exitCode = 0;
  });

  auto* set = cmd->add_subcommand("set", "Store a setting");
  set->add_option("KEY", *key, "Setting key")->required();
  set->add_option("VALUE", *value, "New value (empty text is allowed)")->required();
  set->callback([&options, key, value, &exitCode] {
    // The catalogue's rules, as the dialogs have them; what the dialogs
    // would clamp is refused here, and nothing is stored.
    SettingCheck check = CheckSettingValue(*key, *value);
    // The endpoint's address is the engine layer's to read; empty turns it off.
    if (check.ok && FindSettingKey(*key)->name == kMetricsListenKey && !check.stored.empty())
      if (const ListenParse p = ParseListenAddress(check.stored); !p.address)
        check = {false, "", std::string(kMetricsListenKey) + " " + p.error, ""};
    if (!check.ok) {
      std::cerr << "varn: " << check.message << "\n";
      exitCode = 2;
      return;
    }
    ProgramServices services(options.appFolder);
    WriteSetting(*key, check.stored);
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
