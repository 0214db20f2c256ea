#pragma once
// The font every owner-drawn control draws its text with: an entry of the
// shared font cache, so controls and windows asking for the same size share
// one font.

#include <QFont>
#include <QString>

namespace varn {

struct ControlFont {
  QFont font;
  // A measured text height times this is the visible height of the text.
  float correction = 1;
};

// The cached UI font of `points` (9 when not above 0), bold or not, in
// `face` (the UI face when empty). Falls back to the application's font,
// sized alike, should the cache refuse.
ControlFont CachedControlFont(float points = 9, bool bold = false, const QString& face = {});

}  // namespace varn
