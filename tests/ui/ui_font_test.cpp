#include "ui/fonts/ui_font.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QRawFont>

#include "qstring_print.h"
#include "ui/fonts/language_setup.h"
#include "ui/fonts/packaged_face.h"

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
  const QString pinned = UiFontName();
  const QString face = ChooseUiFont();
  EXPECT_EQ(UiFontName(), face);
  SetUiFontName(pinned);
  QFont font(face);
  font.setPixelSize(12);
  EXPECT_EQ(QFontInfo(font).family(), face);
  const QRawFont raw = QRawFont::fromFont(font);
  ASSERT_TRUE(raw.isValid());
  for (const QChar c : QStringLiteral("系統名"))
    EXPECT_TRUE(raw.supportsCharacter(c)) << face.toStdString();
}

// Both weights come from the package's own files, and the face has every
// glyph the panels draw, Latin too: none falls back to another installed
// family, whose widths would differ from machine to machine.
TEST(UiFont, PackagedFaceDrawsEveryPanelTextItself) {
  ASSERT_TRUE(LoadPackagedUiFace());
  for (const bool bold : {false, true}) {
    QFont font(PackagedUiFace());
    font.setPixelSize(13);
    font.setBold(bold);
    EXPECT_EQ(QFontInfo(font).family(), PackagedUiFace());
    const QRawFont raw = QRawFont::fromFont(font);
    ASSERT_TRUE(raw.isValid());
    EXPECT_EQ(raw.styleName(), bold ? "Bold" : "Regular");
    for (const QChar c : QStringLiteral("系統名1 Max R :-21.0db Min L :-108.2db 0db RMS LUFS 16k"))
      EXPECT_TRUE(raw.supportsCharacter(c)) << QString(c).toStdString() << (bold ? " bold" : "");
  }
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
