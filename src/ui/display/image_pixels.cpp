#include "ui/display/image_pixels.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

namespace varn {

namespace {
bool Is32Bit(const QImage& image) { return !image.isNull() && image.depth() == 32; }
}  // namespace

void CopyImage(QImage& target, const QImage& source) {
  if (target.isNull() || source.isNull()) return;
  if (target.size() == source.size() && target.format() == source.format() &&
      target.bytesPerLine() == source.bytesPerLine()) {
    std::memcpy(target.bits(), source.constBits(), static_cast<size_t>(source.sizeInBytes()));
    return;
  }
  QPainter painter(&target);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, source);
}

void ScrollLeft(QImage& image, int shift) {
  if (!Is32Bit(image) || shift <= 0 || shift >= image.width()) return;
  const size_t keep = static_cast<size_t>(image.width() - shift) * sizeof(QRgb);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    std::memmove(row, row + shift, keep);
  }
}

void FillColumn(QImage& image, int x, int y1, int y2, QRgb colour) {
  if (!Is32Bit(image) || x < 0 || x >= image.width()) return;
  if (y1 > y2) std::swap(y1, y2);
  y1 = std::max(y1, 0);
  y2 = std::min(y2, image.height() - 1);
  if (y1 > y2) return;
  // One detach for the whole column, not one per row.
  uchar* bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  for (int y = y1; y <= y2; ++y) reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
}

void FillColumns(QImage& image, int x1, int x2, QRgb colour) {
  if (!Is32Bit(image)) return;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, image.width() - 1);
  if (x1 > x2) return;
  uchar* bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
    std::fill(row + x1, row + x2 + 1, colour);
  }
}

void CopyArea(QImage& target, const QImage& source, const QRect& area) {
  if (!Is32Bit(target) || source.format() != target.format() || source.size() != target.size())
    return;
  const QRect r = area & target.rect();
  if (r.isEmpty()) return;
  uchar* to = target.bits();
  const uchar* from = source.constBits();
  const qsizetype toStride = target.bytesPerLine();
  const qsizetype fromStride = source.bytesPerLine();
  const size_t offset = static_cast<size_t>(r.left()) * sizeof(QRgb);
  const size_t bytes = static_cast<size_t>(r.width()) * sizeof(QRgb);
  for (int y = r.top(); y <= r.bottom(); ++y)
    std::memcpy(to + y * toStride + offset, from + y * fromStride + offset, bytes);
}

}  // namespace varn
