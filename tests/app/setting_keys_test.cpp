#include "settings/setting_keys.h"

#include <gtest/gtest.h>

#include "settings/folders.h"
#include "settings/setting_value.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

class SettingKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAppFolder(app.Path());
    store.ChooseAtStartup();
    SetActiveStore(&store);
  }
  void TearDown() override {
    SetActiveStore(nullptr);
    SetAppFolder("");
  }
  test::TempDir app;
  test::TempDir home;
  SettingsStore store{app.Path(), home.Path()};
};

TEST_F(SettingKeysTest, AnEmptyStoreGivesOneStereoChannelArchivingMp3) {
  EXPECT_EQ(ReadKeyInt("NumRec"), 1);
  EXPECT_EQ(ReadKeyText(ChannelKey("ChName_", 0)), "系統名1");
  EXPECT_EQ(ReadKeyText(ChannelKey("ChName_", 7)), "系統名8");
  EXPECT_EQ(ReadKeyInt(ChannelKey("RecMode_", 0)), 3);
  EXPECT_EQ(ReadKeyInt(ChannelKey("RecFreq_", 0)), 44100);
  EXPECT_EQ(ReadKeyInt(ChannelKey("BitRate_", 0)), 160);
  EXPECT_EQ(ReadKeyInt(ChannelKey("ArcOn_", 0)), 1);
  EXPECT_EQ(ReadKeyInt("TimerUpdateInt"), 10);
  EXPECT_EQ(ReadKeyText("Soundpath"), app.Path() + "varn_data/");
  EXPECT_EQ(ReadKeyText("VULevelTrim"), "-20.0");
  EXPECT_FLOAT_EQ(ReadKeyReal(SetKey("FFTAvrSec_", 1)), 0.7f);
  EXPECT_FLOAT_EQ(ReadKeyReal(SetKey("MinGateLevel_", 8)), -90.0f);
  EXPECT_EQ(ReadKeyInt("TabWidth_LV_3"), 900);
  EXPECT_FALSE(test::PathExists(home / "varnaudio"));  // the per-user store writes nothing back
}

TEST_F(SettingKeysTest, HandEditedNonsenseFallsBackToTheDefault) {
  WriteSetting("NumRec", "eight");
  WriteSetting(ChannelKey("RecFreq_", 1), "48000.5");
  WriteSetting(SetKey("PeakHoldSec_", 3), "");
  WriteSetting(ChannelKey("RecLevelDB_", 0), "6.5");
  EXPECT_EQ(ReadKeyInt("NumRec"), 1);
  EXPECT_EQ(ReadKeyInt(ChannelKey("RecFreq_", 1)), 48000);  // halves to even
  EXPECT_FLOAT_EQ(ReadKeyReal(SetKey("PeakHoldSec_", 3)), 2.0f);
  EXPECT_FLOAT_EQ(ReadKeyReal(ChannelKey("RecLevelDB_", 0)), 6.5f);
}

TEST_F(SettingKeysTest, KeysAreFoundWithTheirNumber) {
  int n = -1;
  const SettingKeyInfo* info = FindSettingKey("devicename_3", &n);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->name, "DeviceName_");
  EXPECT_EQ(info->scope, KeyScope::Channel);
  EXPECT_EQ(n, 3);
  ASSERT_NE(FindSettingKey("NumRec", &n), nullptr);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(FindSettingKey("DeviceName_"), nullptr);    // no number
  EXPECT_EQ(FindSettingKey("DeviceName_01"), nullptr);  // not as the program writes it
  EXPECT_EQ(FindSettingKey("DeviceName_x"), nullptr);
  EXPECT_EQ(FindSettingKey("NoSuchKey"), nullptr);
  EXPECT_EQ(SettingDefault("NoSuchKey"), "");
  EXPECT_EQ(SettingDefault("WindowLeft"), "");
  EXPECT_EQ(SettingDefault("LogWindowTop"), "");
}

TEST_F(SettingKeysTest, EveryKeyHasOneEntryAndDefaultsOfItsType) {
  for (const SettingKeyInfo& a : SettingCatalogue()) {
    int count = 0;
    for (const SettingKeyInfo& b : SettingCatalogue()) count += a.name == b.name;
    EXPECT_EQ(count, 1) << a.name;
    EXPECT_EQ(a.scope == KeyScope::Global, a.name.back() != '_') << a.name;
    if (a.defaultKind != DefaultKind::Fixed) continue;
    if (a.type == SettingType::Integer) {
      EXPECT_TRUE(TextToInt(a.defaultText)) << a.name;
    }
    if (a.type == SettingType::Real) {
      EXPECT_TRUE(TextToReal(a.defaultText)) << a.name;
    }
  }
}

TEST_F(SettingKeysTest, DialogRangesClampAndRound) {
  EXPECT_EQ(ClampToDialogRange("NumRec", 12), 8);
  EXPECT_EQ(ClampToDialogRange("NumRec", 2.5), 2);
  EXPECT_DOUBLE_EQ(ClampToDialogRange("WaveRate_1", 0.05), 0.1);
  EXPECT_DOUBLE_EQ(ClampToDialogRange("RecLevelDB_2", 12.34), 12.3);
  EXPECT_DOUBLE_EQ(ClampToDialogRange("FFTAvrSec_1", 99), 99);  // in no dialog
}

}  // namespace
}  // namespace varn
