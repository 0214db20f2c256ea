#include "ui/fonts/ui_font.h"

#include <QApplication>
#include <QFontDatabase>
#include <array>

#include "settings/folders.h"
#include "ui/fonts/packaged_face.h"

namespace varn {

namespace {

QString gUiFontName;

// The Windows faces first, so a machine that has them looks as the program
// always did; then the CJK faces a Linux machine has, since the Windows faces
// are missing there and a substitute for them may lack Japanese glyphs.
const std::array<QString, 5> kPreferredFaces = {
    QStringLiteral("メイリオ"),        QStringLiteral("MS UI Gothic"),
    QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP"),
    QStringLiteral("IPAPGothic"),
};
// Qt substitutes it when missing, which is the best left to do.
const QString kLastResortFace = QStringLiteral("ＭＳ Ｐゴシック");

}  // namespace

QString UiFontName() { return gUiFontName; }
void SetUiFontName(const QString& face) { gUiFontName = face; }

QString PreferredUiFont(const QStringList& installedFamilies) {
  QStringList installed;
  installed.reserve(installedFamilies.size());
  for (const QString& family : installedFamilies)
    installed.append(QString::fromStdString(CutAtNull(family.toStdString())));
  for (const QString& face : kPreferredFaces)
    if (installed.contains(face, Qt::CaseSensitive)) return face;
  return kLastResortFace;
}

QString ChooseUiFont() {
  // Before the families are listed: the face is then there even where the
  // fontconfig setup leaves its files out.
  LoadPackagedUiFace();
  gUiFontName = PreferredUiFont(QFontDatabase::families());
  return gUiFontName;
}

QString UiFace() {
  if (gUiFontName.isEmpty()) ChooseUiFont();
  return gUiFontName;
}

void UseUiFaceForApplication() {
  QFont font = QApplication::font();
  font.setFamily(UiFace());
  QApplication::setFont(font);
}

}  // namespace varn
