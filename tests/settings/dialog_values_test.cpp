// The values behind the three settings dialogs: what each shows from the
// store, which keys a confirmation writes, clamped and formatted how, and
// what it leaves alone.

#include <gtest/gtest.h>

#include "archive/mp3acm.h"
#include "settings/audit_settings.h"
#include "settings/basic_settings.h"
#include "settings/setting_keys.h"
#include "settings/sound_settings.h"
#include "support/dialog_store_fixture.h"
#include "util/choice_list.h"

namespace varn {
namespace {

using SettingsValuesTest = test::DialogStoreTest;

// Every number field takes its range from the catalogue: a field whose key
// had none would store nothing at all.
TEST(SettingsValues, EveryNumberFieldHasItsRangeInTheCatalogue) {
  for (const NumberField& f : kBasicFields) EXPECT_TRUE(KeyRange(f.key)) << f.key;
  for (const NumberField& f : kAuditFields) EXPECT_TRUE(KeyRange(f.key)) << f.key;
  for (const char* key : {"RecLevelDB_1", "BufferSec_1", "BufferDelay"})
    EXPECT_TRUE(KeyRange(key)) << key;
}

TEST_F(SettingsValuesTest, AnEmptyDataFolderIsStoredAsTheEmptyMarker) {
  BasicSettingsValues v = LoadBasicSettings();
  EXPECT_EQ(v.dataFolder, app.Path() + "varn_data/");
  v.dataFolder = "";
  StoreBasicSettings(v);
  EXPECT_TRUE(InFile("Soundpath=***"));
}

TEST_F(SettingsValuesTest, AHandEditedSetNumberStillPicksATabAndSmallRatesShowAsStored) {
  Use("SelectedSetting=12\nWaveRate_3=0.1\n");
  EXPECT_EQ(StoredSelectedSet(), 8);
  Use("SelectedSetting=0\nWaveRate_3=0.1\n");
  EXPECT_EQ(StoredSelectedSet(), 1);
  EXPECT_EQ(LoadAuditSet(3).numbers[0], "0.1");  // the engine uses 0.2; the dialog keeps 0.1
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

// A name or path longer than its key holds would come back cut: the
// dialogs refuse it (and store nothing) rather than store it.
TEST_F(SettingsValuesTest, TextsLongerThanTheirKeysAreRefusedNamingTheKey) {
  BasicSettingsValues basic = LoadBasicSettings();
  EXPECT_EQ(BasicSettingsRefusal(basic), "");
  basic.dataFolder = "/srv/" + std::string(250, 'd');
  EXPECT_EQ(BasicSettingsRefusal(basic), "Soundpath holds at most 254 bytes; this value has 255");

  SoundSettingsValues sound = SixteenBitRows();
  EXPECT_EQ(SoundSettingsRefusal(sound), "");
  sound.rows[6].device = std::string(300, 'm');
  EXPECT_EQ(SoundSettingsRefusal(sound),
            "DeviceName_7 holds at most 254 bytes; this value has 300");
  sound.rows[6].device.reset();
  sound.monitorDevice = std::string(255, 'o');
  EXPECT_EQ(SoundSettingsRefusal(sound),
            "MonDeviceName holds at most 254 bytes; this value has 255");
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
