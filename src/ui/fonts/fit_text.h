#pragma once
// Cuts a label to a pixel width for the owner-drawn controls.

#include <QFont>
#include <QFontMetrics>
#include <QString>

namespace varn {

// The longest beginning (with fromRight, end) of `text` whose width is not
// above maxWidth, at least one character. A text of fewer than two
// characters, or one that fits, comes back whole. Characters are grapheme
// clusters, so a surrogate pair or an accent is never cut in half.
QString FitText(const QString& text, const QFontMetrics& metrics, int maxWidth, bool fromRight);
QString FitText(const QString& text, const QFont& font, int maxWidth, bool fromRight);

}  // namespace varn
