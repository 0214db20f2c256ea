#pragma once
// Measures shared by the settings dialogs' layouts, from the window's font so
// that Japanese captions always have the room they need.

#include <QFontMetrics>
#include <QStringList>
#include <QWidget>

namespace varn {

// The check boxes' caption size, in points.
inline constexpr float kCheckPoints = 9.0f;

// Space around the contents of a dialog, pixels.
inline constexpr int kDialogMargin = 12;
// Space before the OK/Cancel bar, pixels.
inline constexpr int kButtonBarGap = 12;

// The widest of `texts` in `window`'s font, pixels.
int WidestText(const QWidget* window, const QStringList& texts);

// The left edge of a field whose left caption is at most `labelWidth`
// pixels wide, with the dialog margin before the caption.
int FieldLeftAfterLabel(int labelWidth);

// The height of a one-line text box in `window`'s font.
int TextBoxHeight(const QWidget* window);

}  // namespace varn
