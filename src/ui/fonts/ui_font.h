#pragma once
// The one face every window and owner-drawn control draws its Japanese text
// with, chosen once at start-up from the installed font families.

#include <QString>
#include <QStringList>

namespace varn {

// The chosen face; empty until ChooseUiFont (or SetUiFontName) ran.
QString UiFontName();
void SetUiFontName(const QString& face);

// The first face of the preference list found among `installedFamilies`
// (exact, case-sensitive), else the list's last resort "ＭＳ Ｐゴシック".
QString PreferredUiFont(const QStringList& installedFamilies);

// Registers the packaged face (LoadPackagedUiFace), then sets UiFontName
// from the families Qt's font database knows and returns it.
QString ChooseUiFont();

// UiFontName, chosen first when nothing has chosen it yet: the face of every
// text given no family of its own.
QString UiFace();

// Makes UiFace the application font's family (the size stays), so stock
// dialogs and message boxes do not fall to whatever face fontconfig
// resolves "Sans Serif" to.
void UseUiFaceForApplication();

}  // namespace varn
