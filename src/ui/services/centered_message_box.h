#pragma once
// Message boxes shown over the window they concern rather than in the middle
// of the screen, kept on the screen and clear of the strip at its bottom
// where the task bar usually sits.

#include <QMessageBox>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace varn {

// Twips kept free at the bottom of the screen.
inline constexpr int kFreeBottomTwips = 600;

// Where a box of boxSize goes: centred on the owner, then moved up so that it
// ends above the free strip ((screen height in twips - 600) / twips per
// pixel), left so that it ends at the screen's right edge, and finally down
// or right onto the screen when it would start above or left of it. All in
// pixels of the virtual desktop.
QRect CenteredBoxRect(QRect ownerRectPixels, QSize boxSize, QRect screenRectPixels,
                      int twipsPerPixel);

// Shows a modal box with the icon, buttons and caption, centred over the
// owner's window (unless that window is minimised or there is none), and
// returns the button pressed (NoButton when the box went away otherwise).
QMessageBox::StandardButton CenteredMessageBox(const QString& text, QMessageBox::Icon icon,
                                               QMessageBox::StandardButtons buttons,
                                               const QString& caption, QWidget* owner);

}  // namespace varn
