#include "ui/fonts/language_setup.h"

#include "settings/setting_keys.h"

namespace varn {

namespace {
int gLangMode = 0;
int gNeedsUiFont = 0;
bool gChecked = false;
}  // namespace

int LangMode() { return gLangMode; }
int NeedsUiFont() { return gNeedsUiFont; }

LanguageSetup DecideLanguageSetup(QLocale::Language systemLanguage,
                                  const std::function<int32_t()>& readLangModeSetting,
                                  const UiRuntimeFiles& files) {
  // A test of the language itself: testing two bits of a Windows language
  // identifier would take Russian or Polish for Japanese as well.
  if (systemLanguage != QLocale::Japanese) return {1, 0};
  LanguageSetup setup;
  setup.langMode = readLangModeSetting ? readLangModeSetting() : 0;
  if (setup.langMode != 0) return setup;
  const bool bothInApp = files.runtimeInAppFolder && files.resourceInAppFolder;
  // A runtime shipped without its Japanese resources, or no complete pair
  // anywhere, leaves the log window with a font that cannot show Japanese.
  if (files.runtimeInAppFolder && !files.resourceInAppFolder)
    setup.needsUiFont = 1;
  else if (!files.bothInSystemFolder && !bothInApp)
    setup.needsUiFont = 1;
  return setup;
}

void CheckLanguageSetup() {
  if (gChecked) return;
  gChecked = true;
  const LanguageSetup setup = DecideLanguageSetup(
      QLocale::system().language(), [] { return ReadKeyInt("LangMode"); }, UiRuntimeFiles{});
  gLangMode = setup.langMode;
  gNeedsUiFont = setup.needsUiFont;
}

}  // namespace varn
