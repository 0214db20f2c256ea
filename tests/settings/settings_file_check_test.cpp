// The check of a hand-edited settings file: every value the program cannot
// use as it stands, named once with its line and the value used instead,
// and the typed reads using exactly that value.

#include "settings/settings_file_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/folders.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

class SettingsFileCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { SetAppFolder(app.Path()); }
  void TearDown() override {
    SetActiveStore(nullptr);
    SetAppFolder("");
  }
  std::vector<std::string> Texts() {
    store.ChooseAtStartup();
    std::vector<std::string> texts;
    for (const SettingProblem& p : CheckSettingsFile(store)) texts.push_back(p.text);
    return texts;
  }
  test::TempDir app;
  test::TempDir home;
  SettingsStore store{app.Path(), home.Path()};
};

TEST_F(SettingsFileCheckTest, EachUnusableValueIsNamedWithItsLineAndTheValueUsed) {
  using namespace std::string_literals;
  test::WriteText(app / "varn.ini",
                  "; edited by hand\n[conf]\nNumRec=banana\nInputTimeoutSec=0\n\n"
                  "MaxGateLevel_1=-3 dB\nnot a setting\nChName_1=Stu\0dio\n"
                  "RecFreq_2=48000\nnumrec=4\nUnknownKey=x\nBufferDelay=ISDEFAULT\n"
                  "[other]\nNumRec=also ignored\n"s);
  const std::vector<std::string> expected = {
      "varn.ini line 3: NumRec=banana is not a whole number from 1 to 8; using 1",
      "varn.ini line 4: InputTimeoutSec=0 is not a number from 1 to 60; using 1.0",
      "varn.ini line 6: MaxGateLevel_1=-3 dB is not a number from -99 to 40; using 0",
      "varn.ini line 7: \"not a setting\" is not a setting (KEY=VALUE); ignored",
      "varn.ini line 8: ChName_1=Stu\\0dio holds a NUL byte; using Stu",
      "varn.ini line 10: numrec=4 repeats the key of line 3; ignored",
  };
  EXPECT_EQ(Texts(), expected);

  // The program reads what the check says it uses.
  SetActiveStore(&store);
  EXPECT_EQ(ReadKeyInt("NumRec"), 1);
  EXPECT_FLOAT_EQ(ReadKeyReal("InputTimeoutSec"), 1.0f);
  EXPECT_FLOAT_EQ(ReadKeyReal("MaxGateLevel_1"), 0.0f);
  EXPECT_EQ(ReadKeyText("ChName_1"), "Stu");
  EXPECT_EQ(ReadKeyInt("RecFreq_2"), 48000);
  const std::vector<SettingProblem> problems = CheckSettingsFile(store);
  ASSERT_NE(FindSettingProblem(problems, "NUMREC"), nullptr);
  EXPECT_EQ(FindSettingProblem(problems, "NUMREC")->line, 3u);  // not the repeat
  EXPECT_EQ(FindSettingProblem(problems, "RecFreq_2"), nullptr);
}

TEST_F(SettingsFileCheckTest, ACleanOrMissingFileHasNoProblems) {
  EXPECT_TRUE(Texts().empty());  // neither varn.ini nor varn.conf
  test::WriteText(app / "varn.ini",
                  "[conf]\nNumRec=8\nChName_1=***\nRecLevelDB_1= -3.5 \nEventCommand=\"a b\"\n");
  EXPECT_TRUE(Texts().empty());
}

TEST_F(SettingsFileCheckTest, TheLimitOfEachStoreIsNamed) {
  test::WriteText(app / "varn.ini", "[conf]\nChName_1=" + std::string(300, 'n') + "\n");
  EXPECT_EQ(Texts(), std::vector<std::string>{"varn.ini line 2: ChName_1=" + std::string(60, 'n') +
                                              "… is longer than 254 bytes; using " +
                                              std::string(60, 'n') + "…"});
  // The per-user store refuses such a value outright: the default is used.
  ASSERT_TRUE(EnsureFolder(home / "varnaudio"));
  std::filesystem::remove(app / "varn.ini");
  test::WriteText(home / "varnaudio/varn.conf",
                  "[conf]\nChName_2=" + std::string(256, 'n') + "\nNumRec=0\n");
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "varn.conf line 2: ChName_2=" + std::string(60, 'n') +
                             "… is longer than 255 bytes; using 系統名2",
                         "varn.conf line 3: NumRec=0 is not a whole number from 1 to 8; using 1"}));
}

TEST_F(SettingsFileCheckTest, AWiderRuleJudgesTooAndTheDefaultStandsIn) {
  test::WriteText(app / "varn.ini", "[conf]\nMetricsListen=nowhere\n");
  store.ChooseAtStartup();
  const SettingRule noAddresses = [](std::string_view key, std::string_view value) {
    if (key == "MetricsListen" && !value.empty()) return SettingCheck{false, "", "no", "empty"};
    return CheckSettingValue(key, value);
  };
  const std::vector<SettingProblem> problems = CheckSettingsFile(store, noAddresses);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].text, "varn.ini line 2: MetricsListen=nowhere is not empty; using \"\"");
  EXPECT_TRUE(CheckSettingsFile(store).empty());  // the catalogue alone takes any text
}

}  // namespace
}  // namespace varn
