// varn config get|set|list|check|describe: the settings of a machine
// without a screen.

#include <iostream>

#include "app/commands.h"
#include "archive/disk_space.h"
#include "ops/setting_rules.h"
#include "settings/program_setup.h"
#include "settings/setting_check.h"
#include "settings/setting_keys.h"
#include "settings/setting_reference.h"
#include "settings/settings_file_check.h"
#include "util/text.h"

namespace varn {
namespace {

// The value the program uses: what is stored, unless its rules refuse it.
std::string Value(const std::string& key) {
  return UseStoredValue(key, ReadSetting(key, SettingDefault(key)), CheckProgramSetting).used;
}

std::vector<SettingProblem> Problems(const ProgramServices& services) {
  return CheckSettingsFile(services.Store(), CheckProgramSetting);
}

int RunGet(const CommonOptions& options, const std::string& key) {
  if (!IsKnownSetting(key)) {
    std::cerr << "varn: unknown setting " << key << "\n";
    return 2;
  }
  ProgramServices services(options.appFolder);
  const std::vector<SettingProblem> problems = Problems(services);
  if (const SettingProblem* p = FindSettingProblem(problems, key)) {
    std::cerr << "varn: " << p->text << "\n";
    std::cout << p->used << "\n";
    return 0;
  }
  std::cout << Value(key) << "\n";
  return 0;
}

// What only the data folder's file system can tell: ArchiveMinFreeMB may
// ask for at most half of it.
std::string FileSystemRefusal(const std::string& key, const std::string& stored) {
  const SettingKeyInfo* info = FindSettingKey(key);
  if (!info || info->name != "ArchiveMinFreeMB") return {};
  const std::optional<double> mb = ParseNumber(stored);
  if (!mb || *mb <= 0) return {};
  return MinFreeRefusal(static_cast<uint64_t>(*mb), ReadDiskSpace(ReadKeyText("Soundpath")));
}

int RunSet(const CommonOptions& options, const std::string& key, const std::string& value) {
  // The program's rules, as the dialogs have them; what the dialogs would
  // clamp is refused here, and nothing is stored.
  const SettingCheck check = CheckProgramSetting(key, value);
  if (!check.ok) {
    std::cerr << "varn: " << check.message << "\n";
    return 2;
  }
  ProgramServices services(options.appFolder);
  if (const std::string refusal = FileSystemRefusal(key, check.stored); !refusal.empty()) {
    std::cerr << "varn: " << refusal << "\n";
    return 2;
  }
  WriteSetting(key, check.stored);
  return 0;
}

int RunList(const CommonOptions& options) {
  ProgramServices services(options.appFolder);
  for (const SettingKeyInfo& info : SettingCatalogue()) {
    std::string key(info.name);
    if (info.scope == KeyScope::Column) {
      for (int column = 1; column <= ScopeCount(info.scope); ++column) {
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

int RunCheck(const CommonOptions& options) {
  ProgramServices services(options.appFolder);
  const std::vector<SettingProblem> problems = Problems(services);
  for (const SettingProblem& p : problems) std::cout << p.text << "\n";
  if (problems.empty())
    std::cout << services.Store().SettingsFilePath() << ": every stored value can be used\n";
  return problems.empty() ? 0 : 1;
}

// A key as the reference or the store writes it: "NumRec", "DeviceName_3",
// "DeviceName_N" or the stem "DeviceName_".
const SettingKeyInfo* DescribedKey(std::string key) {
  if (key.size() > 1 && (key.back() == 'N' || key.back() == 'n') && key[key.size() - 2] == '_')
    key.pop_back();
  if (!key.empty() && key.back() == '_') key += "1";
  return IsKnownSetting(key) ? FindSettingKey(key) : nullptr;
}

int RunDescribe(const std::string& key, bool markdown) {
  if (key.empty()) {
    std::cout << (markdown ? SettingsReferenceTable() : DescribeAllSettings());
    return 0;
  }
  if (markdown) {
    std::cerr << "varn: --markdown describes every setting; give no KEY with it\n";
    return 2;
  }
  const SettingKeyInfo* info = DescribedKey(key);
  if (!info) {
    std::cerr << "varn: unknown setting " << key << "\n";
    return 2;
  }
  std::cout << DescribeSetting(*info);
  return 0;
}

const CommandRegistration kConfig(30, [](CLI::App& app, const CommonOptions& options,
                                         int& exitCode) {
  auto* cmd = app.add_subcommand("config", "Read, change, check or describe the settings");
  cmd->require_subcommand(1);
  auto key = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();

  auto* get = cmd->add_subcommand(
      "get", "Print the value a setting has for the program (its default when it is not stored)");
  get->add_option("KEY", *key, "Setting key, for example NumRec or DeviceName_1")->required();
  get->callback([&options, key, &exitCode] { exitCode = RunGet(options, *key); });

  auto* set = cmd->add_subcommand("set", "Store a setting");
  set->add_option("KEY", *key, "Setting key")->required();
  set->add_option("VALUE", *value, "New value (empty text is allowed)")->required();
  set->callback([&options, key, value, &exitCode] { exitCode = RunSet(options, *key, *value); });

  auto* list =
      cmd->add_subcommand("list", "Print every global setting and those of channel and set 1");
  list->callback([&options, &exitCode] { exitCode = RunList(options); });

  auto* check = cmd->add_subcommand(
      "check",
      "Name every stored value the program cannot use as it stands, with its line and the value "
      "used instead; exit 1 when there is any");
  check->callback([&options, &exitCode] { exitCode = RunCheck(options); });

  auto* describe = cmd->add_subcommand(
      "describe", "Describe every setting, or one: scope, kind, values, default, unit and meaning");
  describe->add_option("KEY", *key, "Setting key, for example NumRec, BitRate_1 or BitRate_N");
  auto markdown = std::make_shared<bool>(false);
  describe->add_flag("--markdown", *markdown, "Every setting as a Markdown table (the README's)");
  describe->callback([key, markdown, &exitCode] { exitCode = RunDescribe(*key, *markdown); });
});

}  // namespace
}  // namespace varn
