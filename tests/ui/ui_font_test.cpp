#include "ui/fonts/ui_font.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QRawFont>

#include "qstring_print.h"
#include "ui/fonts/language_setup.h"

namespace varn {
namespace {

TEST(UiFont, FirstPreferredFaceThatIsInstalledWins) {
  EXPECT_EQ(PreferredUiFont({"Arial", "MS UI Gothic", "ＭＳ Ｐゴシック"}), "MS UI Gothic");
  EXPECT_EQ(PreferredUiFont({"IPAPGothic", "Noto Sans CJK JP"}), "Noto Sans CJK JP");
  EXPECT_EQ(PreferredUiFont({"ms ui gothic"}), "ＭＳ Ｐゴシック");  // case counts
  EXPECT_EQ(PreferredUiFont({}), "ＭＳ Ｐゴシック");
}

// The chosen face must draw the Japanese texts itself, not through a
// substitute that lacks the glyphs (setup.sh installs fonts-noto-cjk).
TEST(UiFont, ChosenFaceRendersJapanese) {
  const QString face = ChooseUiFont();
  EXPECT_EQ(UiFontName(), face);
  QFont font(face);
  font.setPixelSize(12);
  EXPECT_EQ(QFontInfo(font).family(), face);
  const QRawFont raw = QRawFont::fromFont(font);
  ASSERT_TRUE(raw.isValid());
  for (const QChar c : QStringLiteral("系統名"))
    EXPECT_TRUE(raw.supportsCharacter(c)) << face.toStdString();
}

TEST(LanguageSetup, OnlyAJapaneseSystemReadsTheSetting) {
  int reads = 0;
  int stored = 2;
  auto setting = [&] {
    ++reads;
    return stored;
  };
  // Russian: its Windows identifier has the two bits a bit test takes for Japanese.
  EXPECT_EQ(DecideLanguageSetup(QLocale::Russian, setting, {}).langMode, 1);
  EXPECT_EQ(reads, 0);
  EXPECT_EQ(DecideLanguageSetup(QLocale::Japanese, setting, {}).langMode, 2);
  stored = 0;
  EXPECT_EQ(DecideLanguageSetup(QLocale::Japanese, setting, {}).needsUiFont, 0);
  // A runtime in the program folder without its Japanese resources.
  EXPECT_EQ(DecideLanguageSetup(QLocale::Japanese, setting, {true, false, true}).needsUiFont, 1);
}

}  // namespace
}  // namespace varn
