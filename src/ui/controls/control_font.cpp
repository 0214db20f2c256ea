#include "ui/controls/control_font.h"

#include <QApplication>

#include "ui/fonts/font_cache.h"

namespace varn {

ControlFont CachedControlFont(float points, bool bold, const QString& face) {
  const int index = SetWindowFont(nullptr, kFontFromArguments, nullptr, points, bold, false, face);
  if (const FontCacheEntry* entry = UiFontCache().At(index))
    return {entry->font, entry->correction};
  QFont fallback = QApplication::font();
  fallback.setPointSizeF(points > 0 ? points : 9);
  fallback.setBold(bold);
  return {fallback, 1};
}

}  // namespace varn
