#pragma once
// The face the Debian package depends on (fonts-noto-cjk): registered with
// Qt from the package's own files, so the program and its tests draw and
// measure that face, not whatever family fontconfig offers in its place.

#include <QString>

namespace varn {

// "Noto Sans CJK JP".
QString PackagedUiFace();

// Registers the face's regular and bold files with Qt's font database; only
// the first call reads them. True when both files carry the face.
bool LoadPackagedUiFace();

}  // namespace varn
