#pragma once
// Drawing shared by the owner-drawn controls: button faces in the colour
// runs of the background painter, captions cut to their room, and the
// keyboard focus mark.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>

namespace varn {

struct FaceLook {
  bool down = false;   // pressed, or a button that is on
  bool hover = false;  // the pointer is over it
  bool enabled = true;
  bool flat = false;  // no 3-D edge
};

// A button face filling `rect`: a light colour run when up, a darker one
// with a sunken edge when down.
void DrawButtonFace(QPainter& painter, const QRect& rect, const FaceLook& look);

// `text` cut by whole characters to the width of `rect` and drawn in it,
// centred vertically.
void DrawFitCaption(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
                    const QColor& colour, Qt::Alignment horizontal);

// The dotted rectangle a focused control shows, just inside `rect`.
void DrawFocusMark(QPainter& painter, const QRect& rect);

// The caption colour of a disabled control.
QColor DisabledTextColour();

}  // namespace varn
