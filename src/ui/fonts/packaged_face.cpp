#include "ui/fonts/packaged_face.h"

#include <QFontDatabase>
#include <array>

namespace varn {

namespace {

// Where fonts-noto-cjk puts them; each collection holds the JP, KR, SC, TC
// and HK faces of one weight.
constexpr std::array<const char*, 2> kFaceFiles = {
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc",
};

bool RegisterFiles() {
  bool all = true;
  for (const char* file : kFaceFiles) {
    // By path: Qt then reads the file as it needs it, not a copy of all of it.
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    all = all && id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(PackagedUiFace());
  }
  return all;
}

}  // namespace

QString PackagedUiFace() { return QStringLiteral("Noto Sans CJK JP"); }

bool LoadPackagedUiFace() {
  static const bool loaded = RegisterFiles();
  return loaded;
}

}  // namespace varn
