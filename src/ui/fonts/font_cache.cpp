#include "ui/fonts/font_cache.h"

#include <QWidget>
#include <cmath>

#include "ui/fonts/ui_font.h"
#include "ui/twips.h"

namespace varn {

namespace {

// "メイリオ" sits small in its cell; it is made this much larger so that
// it reads like the other faces at the same size.
constexpr float kMeiryoHeightFactor = 1.34f;

struct FontRequest {
  float size = 0;
  bool bold = false;
  bool italic = false;
  QString face;
};

// The font a control carries, as the fields of a cache request. A font the
// cache gave it maps back to that entry's fields, so it is not made twice.
FontRequest RequestFromFont(const QFont& font, const FontCache& cache) {
  for (int i = 0; i < cache.Size(); ++i) {
    const FontCacheEntry& e = *cache.At(i);
    if (e.font == font) return {e.size, e.bold, e.italic, e.face};
  }
  FontRequest r{static_cast<float>(font.pointSizeF()), font.bold(), font.italic(), font.family()};
  if (!(r.size > 0) && font.pixelSize() > 0)
    r.size = static_cast<float>(font.pixelSize()) * static_cast<float>(TwipsPerPixel()) /
             (20.0f * FontHeightFactor(r.face));
  return r;
}

}  // namespace

float FontHeightFactor(const QString& face) {
  return face == QStringLiteral("メイリオ") ? kMeiryoHeightFactor : 1.0f;
}

int FontPixelSize(float points, float heightFactor, int twipsPerPixel) {
  if (twipsPerPixel <= 0) return 0;
  // Halves to even, as every real-to-integer conversion of the program.
  return static_cast<int>(
      std::nearbyint(static_cast<double>(points) * 20.0 * heightFactor / twipsPerPixel));
}

bool FontCache::Create(float size, bool bold, bool italic, const QString& face) {
  const float factor = FontHeightFactor(face);
  const int pixels = FontPixelSize(size, factor, TwipsPerPixel());
  if (pixels < 1) return false;
  QFont font(face);
  font.setPixelSize(pixels);
  // Bold is bold at every DPI; the weight is not a length to scale.
  font.setBold(bold);
  font.setItalic(italic);
  entries_.push_back({font, size, bold, italic, face, 1.0f / factor});
  return true;
}

int FontCache::Find(float size, bool bold, bool italic, const QString& face) const {
  for (int i = 0; i < Size(); ++i) {
    const FontCacheEntry& e = entries_[static_cast<size_t>(i)];
    if (e.face == face && e.size == size && e.bold == bold && e.italic == italic) return i;
  }
  return -1;
}

const FontCacheEntry* FontCache::At(int index) const {
  if (index < 0 || index >= Size()) return nullptr;
  return &entries_[static_cast<size_t>(index)];
}

int FontCache::SetWindowFont(QWidget* window, int index, QWidget* control, float size, bool bold,
                             bool italic, QString face) {
  if (index < kFontFromArguments) return kNoFont;
  // A window opened before start-up chose the face still gets a Japanese one.
  const QString uiFace = UiFace();
  if (entries_.empty() && !Create(kDefaultFontPoints, false, false, uiFace)) return kNoFont;
  if (index == kFontFromControl) {
    if (!control) return kNoFont;
    const FontRequest r = RequestFromFont(control->font(), *this);
    size = r.size;
    bold = r.bold;
    italic = r.italic;
    face = r.face;
    window = control;
  }
  if (index < 0) {
    if (face.isEmpty()) face = uiFace;
    if (!(size > 0)) size = kDefaultFontPoints;
    index = Find(size, bold, italic, face);
    if (index < 0) {
      if (!Create(size, bold, italic, face)) return kNoFont;
      index = Size() - 1;
    }
  }
  const FontCacheEntry* entry = At(index);
  if (!entry) return kNoFont;
  if (window) window->setFont(entry->font);
  return index;
}

FontCache& UiFontCache() {
  // Never destroyed: its fonts must not outlive the QApplication's font
  // machinery in static destruction, and they live for the whole run anyway.
  static FontCache* cache = new FontCache;
  return *cache;
}

bool CreateCachedFont(float size, bool bold, bool italic, const QString& face) {
  return UiFontCache().Create(size, bold, italic, face);
}

int SetWindowFont(QWidget* window, int index, QWidget* control, float size, bool bold, bool italic,
                  const QString& face) {
  return UiFontCache().SetWindowFont(window, index, control, size, bold, italic, face);
}

}  // namespace varn
