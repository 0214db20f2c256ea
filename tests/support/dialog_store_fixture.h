#pragma once
// A settings file of the test's own in a fresh program folder, installed as
// the active store, for the settings dialog tests.

#include <gtest/gtest.h>

#include <string>

#include "settings/folders.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace varn::test {

class DialogStoreTest : public ::testing::Test {
 protected:
  DialogStoreTest() { Use(""); }
  ~DialogStoreTest() override {
    SetActiveStore(nullptr);
    SetAppFolder("");
  }
  // Starts over with varn.ini holding these "key=value" lines.
  void Use(const std::string& settings) {
    SetAppFolder(app.Path());
    WriteText(app / "varn.ini", "[conf]\n" + settings);
    store.ChooseAtStartup();
    SetActiveStore(&store);
  }
  std::string Stored(const std::string& key) const { return ReadSetting(key, "(none)"); }
  // The raw line in the file, to tell a stored key from a default.
  bool InFile(const std::string& line) const {
    return ReadText(app / "varn.ini").find("\n" + line + "\n") != std::string::npos;
  }

  TempDir app;
  TempDir home;
  SettingsStore store{app.Path(), home.Path()};
};

}  // namespace varn::test
