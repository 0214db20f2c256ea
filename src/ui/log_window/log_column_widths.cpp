#include "ui/log_window/log_column_widths.h"

#include <QFontMetrics>
#include <algorithm>

#include "log/event_log.h"
#include "ui/controls/control_font.h"
#include "ui/log_window/frm_log.h"
#include "ui/twips.h"

namespace varn {

namespace {
// The widest text each column usually holds.
constexpr const char* kWidestTexts[kLogColumns] = {"2026/12/31 23:59:59", "2026/12/31 23:59:59",
                                                   "ch8", "Rch", kEndBanner.data()};
// Cell padding of the list and a spare pixel, pixels.
constexpr int kCellRoom = 2 * 4 + 2;
// Frame, scroll bar and slack around the columns, pixels.
constexpr int kListRoom = 2 * 2 + 16 + 8;
constexpr int kFirstHeight = 360;
}  // namespace

int DefaultLogColumnWidth(int column) {
  if (column < 0 || column >= kLogColumns) return 0;
  const QFontMetrics metrics(CachedControlFont().font);
  const int pixels = std::max(metrics.horizontalAdvance(QString::fromUtf8(kLogHeaders[column])),
                              metrics.horizontalAdvance(QString::fromUtf8(kWidestTexts[column])));
  return PixelsToTwips(pixels + kCellRoom);
}

QSize FirstLogWindowSize() {
  int width = 2 * TwipsToPixels(kLogListMarginTwips) + kListRoom;
  for (int c = 0; c < kLogColumns; ++c) width += TwipsToPixels(DefaultLogColumnWidth(c));
  return {width, kFirstHeight};
}

}  // namespace varn
