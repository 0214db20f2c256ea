#include "ui/display/spectrum_grid.h"

#include <QFontMetrics>
#include <QPolygon>
#include <QRegion>
#include <algorithm>
#include <cmath>

namespace varn {

namespace {

constexpr int kLabelX = 4;

constexpr struct {
  const char* text;
  double value;
} kLevels[] = {{"+12", 12},  {"+6", 6},    {"+3", 3},    {"-3", -3}, {"-6", -6},
               {"-12", -12}, {"-20", -20}, {"-40", -40}, {"0", 0}};

// The marker's arrow, as the panel draws it with its centre on the 0 line.
QRegion MarkerArea(int zeroRow, int pixels) {
  if (pixels <= 0) return {};
  const int top = zeroRow - pixels / 2;
  return QRegion(QPolygon(
      {QPoint(0, top), QPoint(pixels - 1, top + pixels / 2), QPoint(0, top + pixels - 1)}));
}

}  // namespace

int GridRow(double v, float fftOffset, int height) {
  return static_cast<int>(std::nearbyint((1.0 - fftOffset / 100.0) * height - v * height / 60.0));
}

std::vector<GridLine> GridLines(const QSize& size, float fftOffset, const QFont& font,
                                int markerPixels) {
  const QFontMetrics metrics(font);
  const int halfBar = metrics.horizontalAdvance(QStringLiteral("|")) / 2;
  const QRect view(QPoint(0, 0), size);
  std::vector<GridLine> lines;
  for (const auto& level : kLevels) {
    GridLine line;
    line.text = QString::fromLatin1(level.text);
    line.value = level.value;
    line.y = GridRow(level.value, fftOffset, size.height());
    line.textAt = QPoint(kLabelX, line.y - halfBar + metrics.ascent());
    line.ink = metrics.tightBoundingRect(line.text).translated(line.textAt);
    lines.push_back(line);
  }

  // Placing order: 0 dB, the top and bottom labels in view, then the rest
  // from the top of the list.
  std::vector<size_t> order;
  size_t zero = 0;
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].value == 0) zero = i;
  order.push_back(zero);
  int top = -1;
  int bottom = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == zero || !lines[i].ink.intersects(view)) continue;
    if (top < 0 || lines[i].y < lines[static_cast<size_t>(top)].y) top = static_cast<int>(i);
    if (bottom < 0 || lines[i].y > lines[static_cast<size_t>(bottom)].y)
      bottom = static_cast<int>(i);
  }
  if (top >= 0) order.push_back(static_cast<size_t>(top));
  if (bottom >= 0 && bottom != top) order.push_back(static_cast<size_t>(bottom));
  for (size_t i = 0; i < lines.size(); ++i)
    if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);

  // A label keeps a pixel of air to every other label and to every other
  // line, and lies wholly in view; its own line, should it pass through
  // the label, starts after it. The
  // marker's arrow only needs to leave the glyphs alone (the 0 dB label
  // sits under it by design).
  const QRegion marker = MarkerArea(GridRow(0, fftOffset, size.height()), markerPixels);
  QRegion taken;
  for (const size_t index : order) {
    GridLine& line = lines[index];
    const QRect room = line.ink.adjusted(-1, -1, 1, 1);
    bool clear = view.contains(line.ink) && !taken.intersects(room) &&
                 (line.value == 0 || !marker.intersects(line.ink));
    for (size_t other = 0; clear && other < lines.size(); ++other)
      if (other != index && room.right() >= kGridLineLeft && lines[other].y >= room.top() &&
          lines[other].y <= room.bottom())
        clear = false;
    line.labelled = clear;
    if (clear) {
      taken += room;
      if (line.y >= room.top() && line.y <= room.bottom())
        line.lineLeft = std::max(kGridLineLeft, line.ink.right() + 3);
    }
  }
  return lines;
}

}  // namespace varn
