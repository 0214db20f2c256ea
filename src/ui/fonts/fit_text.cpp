#include "ui/fonts/fit_text.h"

#include <QTextBoundaryFinder>
#include <vector>

namespace varn {

namespace {

// Positions between characters, 0 and text.size() included.
std::vector<qsizetype> CharacterBounds(const QString& text) {
  std::vector<qsizetype> bounds{0};
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  while (finder.toNextBoundary() > 0) bounds.push_back(finder.position());
  if (bounds.back() != text.size()) bounds.push_back(text.size());
  return bounds;
}

}  // namespace

QString FitText(const QString& text, const QFontMetrics& metrics, int maxWidth, bool fromRight) {
  const std::vector<qsizetype> bounds = CharacterBounds(text);
  const size_t count = bounds.size() - 1;
  if (count < 2 || metrics.horizontalAdvance(text) <= maxWidth) return text;
  // The first n characters (or last n) for n from 2 up; the scan, not a
  // halving search, because kerning can make a longer piece narrower.
  auto piece = [&](size_t n) {
    return fromRight ? text.mid(bounds[count - n]) : text.left(bounds[n]);
  };
  for (size_t n = 2; n <= count; ++n)
    if (metrics.horizontalAdvance(piece(n)) > maxWidth) return piece(n - 1);
  return text;
}

QString FitText(const QString& text, const QFont& font, int maxWidth, bool fromRight) {
  return FitText(text, QFontMetrics(font), maxWidth, fromRight);
}

}  // namespace varn
