// The values behind the three settings dialogs: what each shows from the
// store, which keys a confirmation writes, clamped and formatted how, and
// what it leaves alone.

#include <gtest/gtest.h>

#include "archive/mp3acm.h"
#include "dialog_store_fixture.h"
#include "settings/setting_keys.h"
#include "ui/dialogs/audit_settings.h"
#include "ui/dialogs/basic_settings.h"
#include "ui/dialogs/sound_settings.h"
#include "util/choice_list.h"

namespace varn {
namespace {

using SettingsValuesTest = test::DialogStoreTest;

// The dialogs clamp to the ranges the key catalogue gives; the two lists
// must not drift apart.
TEST(SettingsValues, FieldRangesAreTheCataloguesRanges) {
  const auto check = [](const NumberField& f, const std::string& key) {
    const SettingKeyInfo* info = FindSettingKey(key);
    ASSERT_TRUE(info && info->range) << key;
    EXPECT_EQ(info->range->min, f.minimum) << key;
    EXPECT_EQ(info->range->max, f.maximum) << key;
    EXPECT_EQ(info->range->pattern, f.decimals == 0 ? "0" : "0.0") << key;
  };
  for (const NumberField& f : kBasicFields) check(f, std::string(f.key));
  for (const NumberField& f : kAuditFields) check(f, SetKey(f.key, 1));
}

TEST_F(SettingsValuesTest, BasicSettingsClampAndKeepWhatIsNotANumber) {
  Use("TimerUpdateInt=25\nMaxNumX=3\n");
  BasicSettingsValues v = LoadBasicSettings();
  EXPECT_EQ(v.numbers, (std::array<std::string, 4>{"25", "1", "3", "-20.0"}));
  EXPECT_EQ(v.dataFolder, app.Path() + "varn_data/");
  EXPECT_EQ(v.checks, (std::array<int, 3>{1, 1, 1}));
  v.numbers = {"5000", "12", "x", "-75"};
  v.dataFolder = "";
  v.checks = {0, 1, 0};
  StoreBasicSettings(v);
  EXPECT_EQ(v.numbers, (std::array<std::string, 4>{"1000", "8", "x", "-60.0"}));
  EXPECT_EQ(Stored("TimerUpdateInt"), "1000");
  EXPECT_EQ(Stored("NumRec"), "8");
  EXPECT_EQ(Stored("MaxNumX"), "3");
  EXPECT_EQ(Stored("VULevelTrim"), "-60.0");
  EXPECT_TRUE(InFile("Soundpath=***"));  // the empty-value marker
  EXPECT_EQ(Stored("ShowRecButton"), "0");
  EXPECT_EQ(Stored("ShowLevelValues"), "1");
}

TEST_F(SettingsValuesTest, AuditSetStoresInItsSetAndBecomesActive) {
  Use("SelectedSetting=12\nWaveRate_3=0.1\n");
  EXPECT_EQ(StoredSelectedSet(), 8);  // a hand-edited store cannot pick a ninth tab
  AuditSetValues v = LoadAuditSet(1);
  EXPECT_EQ(v.numbers,
            (std::array<std::string, 8>{"1.0", "1.0", "2.0", "0.0", "-90.0", "300", "50", "50"}));
  EXPECT_EQ(v.fftInfinite, 0);
  v = LoadAuditSet(3);
  EXPECT_EQ(v.numbers[0], "0.1");  // shown and stored as is, though the engine uses 0.2
  v.numbers[1] = "0";
  v.numbers[5] = "0";
  v.numbers[6] = "150";
  v.numbers[7] = "盛り";
  v.fftInfinite = 1;
  StoreAuditSet(3, v);
  EXPECT_EQ(Stored("SelectedSetting"), "3");
  EXPECT_EQ(Stored("WaveRate_3"), "0.1");
  EXPECT_EQ(Stored("FFTRate_3"), "0.1");
  EXPECT_EQ(Stored("MinGateSpan_3"), "1");
  EXPECT_EQ(Stored("PuchiSense_3"), "100");
  EXPECT_EQ(Stored("FFTSense_3"), "50");  // as loaded: the ini file documents the default
  EXPECT_EQ(Stored("FFTInfinite_3"), "1");
  EXPECT_EQ(Stored("MaxGateLevel_3"), "0.0");
  EXPECT_EQ(Stored("WaveRate_1"), "1");
}

SoundSettingsValues SixteenBitRows() {
  SoundSettingsValues v;
  for (SoundRowValues& row : v.rows) {
    row.formatIndex = 3;
    row.device = "Sim Tone 1kHz";
    row.rate = "48000";
    row.level = "0.0";
    row.buffer = "3";
    row.bitRate = "128";
  }
  v.bufferDelay = "300";
  v.monitorDevice = "Sim Null Output";
  return v;
}

TEST_F(SettingsValuesTest, AnEightBitRowStopsTheSaveAfterTheRowsBeforeIt) {
  SoundSettingsValues v = SixteenBitRows();
  v.rows[4].formatIndex = 1;  // Stereo8bit on row 5
  v.rows[0].level = "-120";
  v.rows[1].buffer = "1";
  v.bufferDelay = "5000";
  EXPECT_EQ(StoreSoundSettings(v), 4);
  EXPECT_EQ(Stored("DeviceName_4"), "Sim Tone 1kHz");
  EXPECT_EQ(Stored("RecFreq_4"), "48000");
  EXPECT_EQ(Stored("RecLevelDB_1"), "-99.0");
  EXPECT_EQ(v.rows[0].level, "-99.0");
  EXPECT_EQ(Stored("BufferSec_2"), "3.0");
  for (const char* key : {"DeviceName_5", "RecMode_5", "RecFreq_6", "BufferDelay", "MonDeviceName"})
    EXPECT_EQ(Stored(key), "(none)") << key;
  EXPECT_EQ(v.bufferDelay, "5000");  // not reached
  v.rows[4].formatIndex = 2;
  EXPECT_EQ(StoreSoundSettings(v), -1);
  EXPECT_EQ(Stored("BufferDelay"), "2000");
  EXPECT_EQ(Stored("MonDeviceName"), "Sim Null Output");
  EXPECT_EQ(Stored("RecMode_5"), "2");
}

TEST_F(SettingsValuesTest, BitRateIsZeroForWavAndAMissingChoiceKeepsTheStoredOne) {
  Use("DeviceName_2=USB Mic\nRecFreq_2=32000\nBitRate_2=64\nMonDeviceName=Desk\n");
  SoundSettingsValues v = SixteenBitRows();
  v.rows[0].mp3 = false;
  v.rows[1].device.reset();  // the stored device is not plugged in
  v.rows[1].rate.reset();    // a rate the list does not offer
  v.rows[1].bitRate = "";
  v.rows[2].level = "loud";
  v.monitorDevice.reset();
  ASSERT_EQ(StoreSoundSettings(v), -1);
  EXPECT_EQ(Stored("BitRate_1"), "0");
  EXPECT_EQ(Stored("DeviceName_2"), "USB Mic");
  EXPECT_EQ(Stored("RecFreq_2"), "32000");
  EXPECT_EQ(Stored("BitRate_2"), "64");
  EXPECT_EQ(Stored("RecLevelDB_3"), "(none)");
  EXPECT_EQ(Stored("BitRate_3"), "128");
  EXPECT_EQ(Stored("MonDeviceName"), "Desk");
}

TEST(SoundSettings, RefreshedBitRatesComeFromTheCodecAndKeepTheChoice) {
  C_mp3acm codec;
  VectorChoiceList list;
  RefreshBitRateList(codec, list, "48000", 3, 0);
  ASSERT_FALSE(list.Entries().empty());
  EXPECT_EQ(list.Entries().front(), "320");
  list.Select(5);  // "128"
  ASSERT_EQ(list.Text(5), "128");
  RefreshBitRateList(codec, list, "44100", 2, 0);  // another rate and mono: 128 stays chosen
  EXPECT_EQ(list.Text(list.Selected()), "128");
  RefreshBitRateList(codec, list, "", 3, 0);  // no rate: the list stays
  EXPECT_EQ(list.Text(list.Selected()), "128");
  RefreshBitRateList(codec, list, "96000", 3, 160);  // MPEG audio has no 96 kHz
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(BitRateToKeep(0, "96"), 96);
  EXPECT_EQ(BitRateToKeep(192, "96"), 192);
  EXPECT_EQ(BitRateToKeep(0, ""), 0);
}

}  // namespace
}  // namespace varn
