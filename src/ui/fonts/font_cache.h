#pragma once
// Fonts shared by every window: each distinct (face, size, bold, italic) is
// made once and kept for the whole run, so windows and dialogs that ask for
// the same font get the same entry. Entry 0 is the default UI font.

#include <QFont>
#include <QString>
#include <vector>

class QWidget;

namespace varn {

// The default entry's size in points.
inline constexpr float kDefaultFontPoints = 9.0f;
// SetWindowFont's answer when no font could be set.
inline constexpr int kNoFont = -3;
// SetWindowFont indexes below 0: the font described by the arguments (-2), or
// the one the control carries (-1).
inline constexpr int kFontFromArguments = -2;
inline constexpr int kFontFromControl = -1;

struct FontCacheEntry {
  QFont font;
  float size = 0;  // points, as requested
  bool bold = false;
  bool italic = false;
  QString face;  // as requested
  // A text height measured with `font`, times this, is the visible height of
  // the text (1 / 1.34 for "メイリオ", whose cell is made taller).
  float correction = 1;
};

// How much taller than asked a face's font is made: 1.34 for "メイリオ".
float FontHeightFactor(const QString& face);
// The font's pixel size: points x 20 x factor / twips per pixel, rounded.
int FontPixelSize(float points, float heightFactor, int twipsPerPixel);

class FontCache {
 public:
  // Appends the font; false (and nothing added) when it cannot be made.
  bool Create(float size, bool bold, bool italic, const QString& face);
  // The first entry with these fields, or -1.
  int Find(float size, bool bold, bool italic, const QString& face) const;
  // See the free SetWindowFont below.
  int SetWindowFont(QWidget* window, int index, QWidget* control, float size, bool bold,
                    bool italic, QString face);

  int Size() const { return static_cast<int>(entries_.size()); }
  // nullptr outside the cache.
  const FontCacheEntry* At(int index) const;

 private:
  std::vector<FontCacheEntry> entries_;
};

// The process-wide cache; it only grows.
FontCache& UiFontCache();

// Adds a font to the process-wide cache; true when it was made.
bool CreateCachedFont(float size, bool bold, bool italic, const QString& face);

// Gives `window` a cached font and returns the entry's index, or kNoFont.
// index kFontFromArguments: the font of size, bold, italic and face (an empty
// face is UiFontName, a size not above 0 is 9 points), found or made;
// kFontFromControl: the same with the font `control` carries, applied to
// `control`; 0 or more: that entry. Windows call SetWindowFont(this) for the
// default font. A null window only looks the font up.
int SetWindowFont(QWidget* window, int index = kFontFromArguments, QWidget* control = nullptr,
                  float size = 0, bool bold = false, bool italic = false,
                  const QString& face = QString());

}  // namespace varn
