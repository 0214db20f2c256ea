// What the command line may store: the catalogue's ranges, lists and kinds.
// (The command itself is run in tests/app/cli_test.cpp.)

#include "settings/setting_check.h"

#include <gtest/gtest.h>

#include "settings/setting_keys.h"

namespace varn {
namespace {

TEST(SettingCheck, KnownKeysAreTheCataloguesWithNumbersInTheirScope) {
  for (const char* key : {"NumRec", "numrec", "DeviceName_1", "DeviceName_8", "WaveRate_8",
                          "TabWidth_LV_5", "InputTimeoutSec"})
    EXPECT_TRUE(IsKnownSetting(key)) << key;
  for (const char* key : {"NoSuchKey", "DeviceName_9", "DeviceName_0", "DeviceName_", "WaveRate_9",
                          "TabWidth_LV_6", "NumRec1"})
    EXPECT_FALSE(IsKnownSetting(key)) << key;
  EXPECT_EQ(CheckSettingValue("NoSuchKey", "1").message, "unknown setting NoSuchKey");
}

TEST(SettingCheck, RangesListsAndKindsDecideAndRoundOneDecimalValues) {
  struct Case {
    const char* key;
    const char* value;
    bool ok;
    const char* storedOrMessage;
  };
  const Case cases[] = {
      {"NumRec", "8", true, "8"},
      {"NumRec", " 3 ", true, "3"},
      {"NumRec", "9", false, "NumRec must be a whole number from 1 to 8"},
      {"NumRec", "0.5", false, "NumRec must be a whole number from 1 to 8"},
      {"WaveRate_2", "0.05", false, "WaveRate_2 must be a number from 0.1 to 10"},
      {"WaveRate_2", "2.25", true, "2.2"},  // halves to even, as the dialogs round
      {"RecLevelDB_1", "-0.01", true, "0.0"},
      {"InputTimeoutSec", "0.5", false, "InputTimeoutSec must be a number from 1 to 60"},
      {"InputTimeoutSec", "12.5", true, "12.5"},
      {"RecFreq_1", "48000", true, "48000"},
      {"RecFreq_1", "48000.5", false, "RecFreq_1 must be one of 192000"},
      {"StereoMode_1", "4", false, "StereoMode_1 must be one of 0, 1, 2, 3"},
      {"VUValueShows_1", "2", true, "2"},
      {"BitRate_1", "0", true, "0"},
      {"WindowState", "70000", false, "WindowState must be a whole number from -32768 to 32767"},
      {"FFTOffset_1", "abc", false, "FFTOffset_1 must be a number"},
      {"ChName_1", "FM東京 本線", true, "FM東京 本線"},
      {"ChName_1", "two\nlines", false, "ChName_1 cannot hold a line break"},
  };
  for (const Case& c : cases) {
    const SettingCheck r = CheckSettingValue(c.key, c.value);
    EXPECT_EQ(r.ok, c.ok) << c.key << "=" << c.value;
    const std::string& got = c.ok ? r.stored : r.message;
    EXPECT_EQ(got.rfind(c.storedOrMessage, 0), 0u) << c.key << "=" << c.value << ": " << got;
  }
}

TEST(SettingCheck, AValueLongerThanItsKeyHoldsIsRefusedNamingTheLimit) {
  EXPECT_TRUE(CheckSettingValue("ChName_1", std::string(254, 'n')).ok);
  const SettingCheck name = CheckSettingValue("ChName_1", std::string(283, 'n'));
  EXPECT_FALSE(name.ok);
  EXPECT_EQ(name.message, "ChName_1 holds at most 254 bytes; this value has 283");
  for (const char* key : {"EventCommand", "ArchiveCommand", "MetricsListen"}) {
    EXPECT_EQ(SettingValueLimit(key), 4096u) << key;
    EXPECT_TRUE(CheckSettingValue(key, std::string(4096, 'c')).ok) << key;
    EXPECT_EQ(CheckSettingValue(key, std::string(4097, 'c')).message,
              std::string(key) + " holds at most 4096 bytes; this value has 4097");
  }
  EXPECT_EQ(SettingValueLimit("Soundpath"), 254u);  // an original key keeps its limit
  EXPECT_EQ(SettingValueLimit("NotAKey"), 254u);
}

// A stored value the rules refuse is read as the dialogs would have stored
// it where they can tell (clamped into the range, rounded into the list),
// else as the default: never as whatever a conversion makes of it.
TEST(SettingCheck, AStoredValueTheRulesRefuseIsReplacedByWhatTheProgramUses) {
  struct Case {
    const char* key;
    const char* stored;
    const char* used;
  };
  const Case cases[] = {
      {"NumRec", "banana", "1"},        {"NumRec", "99", "8"},
      {"NumRec", "2.5", "2"},           {"InputTimeoutSec", "0", "1.0"},
      {"MaxGateLevel_1", "-3 dB", "0"}, {"MaxGateLevel_1", "-120", "-99.0"},
      {"BufferSec_2", "1", "3"},        {"RecFreq_1", "48000.5", "48000"},
      {"RecFreq_1", "44000", "44100"},  {"VULevelTrim", "70", "60.0"},
      {"TabWidth_LV_2", "9e12", "900"}, {"FFTAvrSec_1", "1e39", "0.7"},
      {"WindowState", "70000", ""},
  };
  for (const Case& c : cases) {
    const SettingUse use = UseStoredValue(c.key, c.stored);
    EXPECT_FALSE(use.usable) << c.key << "=" << c.stored;
    EXPECT_EQ(use.used, c.used) << c.key << "=" << c.stored;
  }
  EXPECT_EQ(UseStoredValue("NumRec", "banana").problem, "is not a whole number from 1 to 8");
  // What passes is read as it stands, and keys the catalogue does not know too.
  EXPECT_EQ(UseStoredValue("RecLevelDB_1", "6.55").used, "6.55");
  EXPECT_TRUE(UseStoredValue("RecLevelDB_1", "6.55").usable);
  EXPECT_EQ(UseStoredValue("NoSuchKey", "x").used, "x");
  EXPECT_EQ(UseStoredValue("DeviceName_9", "x").used, "x");
}

}  // namespace
}  // namespace varn
