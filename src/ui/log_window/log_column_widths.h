#pragma once
// The log window's column widths before the user has set any: wide enough
// for the header and for the texts the column holds (a time stamp, "ch8",
// "Rch", a long message), so that nothing is cut on a first run.

#include <QSize>

namespace varn {

// Twips, for the column index 0 to 4.
int DefaultLogColumnWidth(int column);
// The window size, pixels, that shows the five default columns.
QSize FirstLogWindowSize();

}  // namespace varn
