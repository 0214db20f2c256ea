#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "settings/setting_value.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  test::TempDir app;
  test::TempDir home;
  std::string IniPath() { return app / "varn.ini"; }
  std::string UserPath() { return home / "varnaudio/varn.conf"; }
};

TEST_F(SettingsStoreTest, WithoutAnIniFileEverythingGoesToThePerUserStore) {
  SettingsStore store(app.Path(), home.Path());
  store.ChooseAtStartup();
  EXPECT_EQ(store.IniPath(), "");
  store.WriteSetting("NumRec", "4");
  EXPECT_EQ(store.ReadSetting("NumRec", "1"), "4");
  EXPECT_NE(test::ReadText(UserPath()).find("NumRec=4"), std::string::npos);

  // An ini file created later in the run is not used until the next start.
  test::WriteText(IniPath(), "[conf]\nNumRec=7\n");
  EXPECT_EQ(store.ReadSetting("NumRec", "1"), "4");
  SettingsStore next(app.Path(), home.Path());
  next.ChooseAtStartup();
  EXPECT_EQ(next.ReadSetting("NumRec", "1"), "7");
}

TEST_F(SettingsStoreTest, OnlyTheIniStoreWritesDefaultsBack) {
  SettingsStore user(app.Path(), home.Path());
  user.ChooseAtStartup();
  EXPECT_EQ(user.ReadSetting("MaxNumX", "4"), "4");
  EXPECT_FALSE(test::PathExists(UserPath()));

  test::WriteText(IniPath(), "[conf]\n");
  SettingsStore ini(app.Path(), home.Path());
  ini.ChooseAtStartup();
  EXPECT_EQ(ini.IniPath(), IniPath());
  EXPECT_EQ(ini.ReadSetting("MaxNumX", "4"), "4");
  EXPECT_EQ(ini.ReadSetting("MonDeviceName", ""), "");
  const std::string text = test::ReadText(IniPath());
  EXPECT_NE(text.find("MaxNumX=4"), std::string::npos);
  EXPECT_NE(text.find("MonDeviceName=***"), std::string::npos);
}

TEST_F(SettingsStoreTest, EmptyValuesAreStoredAsTheMarkerInBothStores) {
  test::WriteText(IniPath(), "[conf]\n");
  SettingsStore ini(app.Path(), home.Path());
  ini.ChooseAtStartup();
  ini.WriteSetting("ChName_1", "");
  EXPECT_EQ(ini.ReadSetting("ChName_1", "default"), "");
  EXPECT_NE(test::ReadText(IniPath()).find("ChName_1=***"), std::string::npos);

  EXPECT_EQ(ini.RegWriteValue("ChName_1", ""), 1);
  EXPECT_EQ(ini.RegReadValue("ChName_1", "default"), "");
  EXPECT_NE(test::ReadText(UserPath()).find("ChName_1=***"), std::string::npos);
}

TEST_F(SettingsStoreTest, IsDefaultStoredInTheFileCountsAsMissing) {
  test::WriteText(IniPath(), "[conf]\nBufferDelay=ISDEFAULT\n");
  SettingsStore ini(app.Path(), home.Path());
  ini.ChooseAtStartup();
  EXPECT_EQ(ini.ReadSetting("BufferDelay", "300"), "300");
  EXPECT_NE(test::ReadText(IniPath()).find("BufferDelay=300"), std::string::npos);
}

TEST_F(SettingsStoreTest, HandEditedIniValuesComeBackCutToTheirKeysLimitOnACharacterBoundary) {
  std::string jp;
  for (int i = 0; i < 100; ++i) jp += "系";  // 300 bytes
  test::WriteText(IniPath(), "[conf]\nLong=" + std::string(300, 'a') + "\nChName_1=" + jp +
                                 "\nEventCommand=" + std::string(5000, 'c') + "\n");
  SettingsStore ini(app.Path(), home.Path());
  ini.ChooseAtStartup();
  EXPECT_EQ(ini.ReadSetting("Long", ""), std::string(254, 'a'));
  const std::string back = ini.ReadSetting("ChName_1", "");
  EXPECT_EQ(back.size(), 252u);  // 84 whole characters
  EXPECT_EQ(back, jp.substr(0, 252));
  EXPECT_EQ(ini.ReadSetting("EventCommand", ""), std::string(4096, 'c'));
}

TEST_F(SettingsStoreTest, AValueLongerThanItsKeyHoldsIsNeverStoredCutInEitherStore) {
  test::WriteText(IniPath(), "[conf]\nChName_1=old\n");
  test::LogCapture log;
  SettingsStore ini(app.Path(), home.Path());
  ini.ChooseAtStartup();
  const std::string command = "/usr/local/bin/alert " + std::string(4000, 'x');
  ini.WriteSetting("EventCommand", command);
  EXPECT_EQ(ini.ReadSetting("EventCommand", ""), command);
  ini.WriteSetting("ChName_1", std::string(255, 'n'));
  ini.WriteSetting("EventCommand", std::string(4097, 'y'));
  EXPECT_EQ(ini.ReadSetting("ChName_1", ""), "old");
  EXPECT_EQ(ini.ReadSetting("EventCommand", ""), command);
  EXPECT_EQ(log.CountDiagnostics("Setting ChName_1 not stored: 255 bytes, it holds at most 254"),
            1);

  SettingsStore user(app.Path(), home.Path());  // no varn.ini at its start: the per-user store
  std::filesystem::remove(IniPath());
  user.ChooseAtStartup();
  EXPECT_EQ(user.RegWriteValue("ArchiveCommand", command), 1);
  EXPECT_EQ(user.ReadSetting("ArchiveCommand", ""), command);
  EXPECT_EQ(user.RegWriteValue("ChName_2", std::string(255, 'n')), 0);
  EXPECT_EQ(user.ReadSetting("ChName_2", "default"), "default");
}

TEST_F(SettingsStoreTest, PerUserValuesAreTrimmedAndTooLongOnesGiveTheDefault) {
  SettingsStore user(app.Path(), home.Path());
  user.ChooseAtStartup();
  ASSERT_EQ(user.RegWriteValue("Pad", "x"), 1);
  test::WriteText(UserPath(), "[conf]\nPad=  spaced  \nLong=" + std::string(256, 'b') +
                                  "\nFits=" + std::string(255, 'c') + "\n");
  EXPECT_EQ(user.ReadSetting("Pad", ""), "spaced");
  EXPECT_EQ(user.ReadSetting("Long", "dflt"), "dflt");
  EXPECT_EQ(user.ReadSetting("Fits", ""), std::string(255, 'c'));
  EXPECT_TRUE(user.RegRemoveValue("Pad"));
  EXPECT_EQ(user.ReadSetting("Pad", "gone"), "gone");
}

TEST_F(SettingsStoreTest, ResolveStoreFollowsTheNamedStoreAndMode) {
  SettingsStore store(app.Path(), home.Path());
  store.ChooseAtStartup();
  EXPECT_EQ(store.ResolveStore().backend, StoreBackend::User);
  EXPECT_EQ(store.ResolveStore().location, "varn");

  test::WriteText(app / "other.ini", "");
  const StoreChoice named = store.ResolveStore("other", 0);
  EXPECT_EQ(named.backend, StoreBackend::Ini);
  EXPECT_EQ(named.location, app / "other.ini");
  EXPECT_EQ(store.ResolveStore("missing", 0).backend, StoreBackend::User);
  EXPECT_EQ(store.UserStorePath("Missing"), home / "varnaudio/missing.conf");

  // Mode 1 looks for varn.ini now rather than at start-up.
  EXPECT_EQ(store.ResolveStore("", 1).backend, StoreBackend::User);
  test::WriteText(IniPath(), "");
  EXPECT_EQ(store.ResolveStore("", 1).backend, StoreBackend::Ini);
  EXPECT_EQ(store.ResolveStore("", 0).backend, StoreBackend::User);
}

TEST_F(SettingsStoreTest, AFolderNamedLikeTheIniFileIsNotChosen) {
  ASSERT_EQ(mkdir(IniPath().c_str(), 0755), 0);
  SettingsStore store(app.Path(), home.Path());
  store.ChooseAtStartup();
  EXPECT_EQ(store.IniPath(), "");
}

TEST_F(SettingsStoreTest, AnUnreadableIniFileGivesDefaultsAndIsLeftAlone) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  test::WriteText(IniPath(), "[conf]\nNumRec=3\n");
  SettingsStore ini(app.Path(), home.Path());
  ini.ChooseAtStartup();
  chmod(IniPath().c_str(), 0);
  EXPECT_EQ(ini.ReadSetting("NumRec", "1"), "1");
  ini.WriteSetting("NumRec", "5");
  {
    SettingsBatch batch(&ini);
    EXPECT_EQ(ini.ReadSetting("NumRec", "2"), "2");
    ini.WriteSetting("NumRec", "6");
    EXPECT_EQ(ini.ReadSetting("NumRec", "2"), "2");
  }
  chmod(IniPath().c_str(), 0644);
  EXPECT_EQ(test::ReadText(IniPath()), "[conf]\nNumRec=3\n");
}

TEST_F(SettingsStoreTest, ABatchWritesTheDefaultsOfManyMissingKeysInOneReplacement) {
  test::WriteText(IniPath(), "[conf]\n");
  SettingsStore ini(app.Path(), home.Path());
  ini.ChooseAtStartup();
  const uint64_t before = SettingsFilesWritten();
  {
    SettingsBatch batch(&ini);
    for (int i = 0; i < 100; ++i)
      EXPECT_EQ(ini.ReadSetting("Key" + std::to_string(i), std::to_string(i * 3)),
                std::to_string(i * 3));
    EXPECT_EQ(test::ReadText(IniPath()), "[conf]\n");
  }
  EXPECT_EQ(SettingsFilesWritten() - before, 1u);
  SettingsStore next(app.Path(), home.Path());
  next.ChooseAtStartup();
  EXPECT_EQ(next.ReadSetting("Key0", "x"), "0");
  EXPECT_EQ(next.ReadSetting("Key99", "x"), "297");
}

TEST_F(SettingsStoreTest, NestedBatchesSeeTheirOwnWritesAndOnlyTheOutermostWrites) {
  SettingsStore user(app.Path(), home.Path());
  user.ChooseAtStartup();
  SetActiveStore(&user);
  const uint64_t before = SettingsFilesWritten();
  {
    SettingsBatch outer;  // the active store
    WriteSetting("NumRec", 4);
    {
      SettingsBatch inner(&user);
      WriteSetting("ChName_1", "");
      EXPECT_EQ(ReadSetting("NumRec", "1"), "4");
    }
    EXPECT_FALSE(test::PathExists(UserPath()));
    EXPECT_EQ(ReadSetting("ChName_1", "default"), "");
    WriteSetting("NumRec", 6);
    EXPECT_EQ(ReadSetting("NumRec", "1"), "6");
    EXPECT_TRUE(user.RegRemoveValue("ChName_1"));
    EXPECT_FALSE(user.RegRemoveValue("NeverWritten"));
  }
  SetActiveStore(nullptr);
  EXPECT_EQ(SettingsFilesWritten() - before, 1u);
  EXPECT_EQ(test::ReadText(UserPath()), "[conf]\nNumRec=6\n");
  EXPECT_EQ(user.ReadSetting("ChName_1", "default"), "default");
}

TEST(SettingValue, BadTextGivesTheDefault) {
  test::TempDir app;
  test::TempDir home;
  test::WriteText(app / "varn.ini",
                  "[conf]\nA=abc\nB=2.5\nC=3.5\nD=99999999999\nE=70000\nF=1e40\nG= 12 \n");
  SettingsStore ini(app.Path(), home.Path());
  ini.ChooseAtStartup();
  SetActiveStore(&ini);
  EXPECT_EQ(ReadIntSetting("A", 7), 7);
  EXPECT_EQ(ReadIntSetting("B", 0), 2);  // halves to even
  EXPECT_EQ(ReadIntSetting("C", 0), 4);
  EXPECT_EQ(ReadIntSetting("D", 7), 7);  // does not fit 32 bits
  EXPECT_EQ(ReadShortSetting("E", 1), 1);
  EXPECT_FLOAT_EQ(ReadRealSetting("F", 1.5f), 1.5f);
  EXPECT_EQ(ReadIntSetting("G", 0), 12);
  EXPECT_FLOAT_EQ(ReadRealSetting("Missing", 0.7f), 0.7f);
  EXPECT_NE(test::ReadText(app / "varn.ini").find("Missing=0.7"), std::string::npos);
  SetActiveStore(nullptr);
  EXPECT_EQ(ReadSetting("A", "x"), "");  // no store: an empty value
}

}  // namespace
}  // namespace varn
