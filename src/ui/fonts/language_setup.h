#pragma once
// The start-up language check: LangMode for the rest of the program, and
// whether the log window must be given the UI font explicitly.

#include <QLocale>
#include <cstdint>
#include <functional>

namespace varn {

// 1 on a system whose default language is not Japanese, else the setting
// "LangMode". 0 until CheckLanguageSetup ran.
int LangMode();
// 1 when the log window must apply the UI font to itself.
int NeedsUiFont();

// Where the two files of the user-interface runtime (its library and that
// library's Japanese resources) were found. Linux has no such pair, so they
// count as present and the rule leaves NeedsUiFont at 0.
struct UiRuntimeFiles {
  bool runtimeInAppFolder = true;
  bool resourceInAppFolder = true;
  bool bothInSystemFolder = true;
};

struct LanguageSetup {
  int langMode = 0;
  int needsUiFont = 0;
};

// The decision itself. The setting is read only on a Japanese system, since
// reading it writes its default into varn.ini.
LanguageSetup DecideLanguageSetup(QLocale::Language systemLanguage,
                                  const std::function<int32_t()>& readLangModeSetting,
                                  const UiRuntimeFiles& files);

// Sets LangMode and NeedsUiFont from the system locale and the setting; only
// the first call does anything.
void CheckLanguageSetup();

}  // namespace varn
