#pragma once
// The shared look of windows and controls: the textured grey background
// with a raised edge, the colour runs of the controls, bevelled frames and
// the standard 3-D edge. Colours are 0x00BBGGRR; -1 takes the theme colour.

#include <QPainter>
#include <QRect>

namespace varn {

// The background texture of the window styles, one colour per row.
inline constexpr int kTextureRows = 29;
int TextureColor(int row);

// Paints `pixels` in `style`; c1, c2, c3 of -1 become ThemeColor 0, 1, 2.
//  -2      sets the painter's background to c2 and fills with it;
//  -1      nothing;
//  14, 15  the window background: textured rows tinted by c2 and a raised
//          edge (15 also lightens the top and darkens the bottom 20 rows);
//  others  bands of the colour run c1 -> c2 -> c3 -> black: 0 and 10 the
//          channel area (20 and 8 bands), 1 and 11 the slider, 2 the fill of
//          BevelFrame, 5 to 8 the header, check box and slider states, 3, 4,
//          9, 12 and 13 the whole run.
void PaintStyle(QPainter& painter, const QRect& pixels, int style, int c1 = -1, int c2 = -1,
                int c3 = -1);

// A frame `widthPixels` wide inside `pixels`: top and left in colour1 less
// 40, bottom and right in colour2 plus 40, so the inside looks sunk. Unless
// noFill, the inside is first painted with style 2 in colour1 and colour2.
void BevelFrame(QPainter& painter, const QRect& pixels, int colour1, int colour2, bool noFill,
                int widthPixels);

// The standard two-pixel 3-D edge on the border of `pixels` (inside it), in
// the palette's light and shadow colours: sunken or raised.
void DrawEdgeBox(QPainter& painter, const QRect& pixels, bool sunken);

}  // namespace varn
