#include "ui/display/spectrum_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "analysis/level_math.h"
#include "ui/display/colours.h"
#include "ui/display/display_font.h"
#include "ui/display/image_pixels.h"
#include "ui/display/spectrum_grid.h"
#include "ui/display/round_even.h"

namespace varn {

namespace {

constexpr int kGridColor = 0x505050;
constexpr int kZeroLineColor = 0x303080;
constexpr int kBarColor = 0x909000;
constexpr int kHoldColor = 0xA0A0A0;
// The averaged value of a full-scale sine; 60 dB below it is the floor.
constexpr double kFullScaleBin = 2950000.0;
constexpr int kLastBin = 1024;


// Bar height above the bottom for a mean bin value: 0 at -60 dB and below.
double BarUnits(double mean) {
  const double u = LinearToDb(static_cast<float>(mean / kFullScaleBin)) + 60.0;
  return u < 0 ? 0 : u;
}

int BarTop(double mean, float fftRate, int height) {
  return RoundEven(height - std::fabs(fftRate) * height / 70.0 * BarUnits(mean));
}

}  // namespace

SpectrumView::SpectrumView() : font_(DisplayFont(QString(), 9.0)) {}

void SpectrumView::SetFont(const QFont& font) {
  font_ = font;
  gridValid_ = false;
}

void SpectrumView::SetMarker(int pixels) {
  markerPixels_ = pixels;
  gridValid_ = false;
}

void SpectrumView::SetBackColor(int bgr) {
  backColor_ = bgr;
  gridValid_ = false;
}

int SpectrumView::GridY(double v, float fftOffset, int height) {
  return GridRow(v, fftOffset, height);
}

int SpectrumView::BinColumn(int j, int width, int sampleRate) {
  const float lowest = LinearToDb(25.0f / static_cast<float>(RoundEven(sampleRate / 2.0)));
  const float db = LinearToDb(static_cast<float>(j) / 1024.0f);
  return RoundEven(width * (1.0 - static_cast<double>(db) / lowest));
}

// The grid changes only with the size and the 0 line, so it is drawn once
// into its own image and copied for every block.
bool SpectrumView::PrepareGrid(const QSize& size, float fftOffset) {
  if (gridValid_ && grid_.size() == size && gridOffset_ == fftOffset) return false;
  if (grid_.size() != size) grid_ = QImage(size, QImage::Format_RGB32);
  grid_.fill(ToQColor(backColor_));
  QPainter painter(&grid_);
  painter.setFont(font_);
  for (const GridLine& line : GridLines(size, fftOffset, font_, markerPixels_)) {
    const QColor colour = ToQColor(line.value == 0 ? kZeroLineColor : kGridColor);
    painter.fillRect(QRect(QPoint(line.lineLeft, line.y), QPoint(size.width(), line.y)), colour);
    if (!line.labelled) continue;
    painter.setPen(colour);
    painter.drawText(line.textAt, line.text);
  }
  gridOffset_ = fftOffset;
  gridValid_ = true;
  return true;
}

void SpectrumView::PrepareColumns(int width, int sampleRate) {
  if (columnsValid_ && columnsWidth_ == width && columnsRate_ == sampleRate) return;
  for (int j = 1; j <= kLastBin; ++j)
    columnX_[static_cast<size_t>(j)] = BinColumn(j, width, sampleRate);
  columnsWidth_ = width;
  columnsRate_ = sampleRate;
  columnsValid_ = true;
}

// Bins that fall into the same column are merged into one mean and the
// column is handed on once, when the walk leaves it.
template <typename Visit>
void SpectrumView::WalkColumns(std::span<const double> values, int width, Visit visit) const {
  const int last = std::min<int>(kLastBin, static_cast<int>(values.size()) - 1);
  double sum = 0.0;
  int count = 0;
  int column = 0;
  for (int j = 1; j <= last; ++j) {
    const int x = columnX_[static_cast<size_t>(j)];
    if (x > width) break;
    if (count > 0 && x != column) {
      visit(column, sum / count);
      sum = 0.0;
      count = 0;
    }
    column = x;
    sum += values[static_cast<size_t>(j)];
    ++count;
  }
  if (count > 0) visit(column, sum / count);
}

QRegion SpectrumView::Draw(QImage& picture, std::span<const double> averaged,
                           std::span<const double> hold, float fftOffset, float fftRate,
                           int sampleRate) {
  if (picture.isNull()) return {};
  const bool newGrid = PrepareGrid(picture.size(), fftOffset);
  MakeShape(next_, averaged, hold, fftRate, sampleRate);
  QRegion changed;
  if (newGrid || picture.cacheKey() != pictureKey_ || picture.format() != grid_.format()) {
    CopyImage(picture, grid_);
    changed = picture.rect();
  } else {
    changed = ShapeChange(shown_, next_);
    if (changed.isEmpty()) return {};
    for (const QRect& r : changed) CopyArea(picture, grid_, r);
  }
  // Outside the changed area the picture already shows these bars and this
  // curve, so drawing them whole changes nothing there. The curve is never
  // clipped: a clipped line may take other pixels than the whole one.
  const int h = picture.height();
  const QRgb bar = ToQColor(kBarColor).rgb();
  for (int x = 0; x < next_.width; ++x) {
    const int top = next_.barTop[static_cast<size_t>(x)];
    if (top < h) FillColumn(picture, x, top, h, bar);
  }
  if (next_.hold.size() >= 2) {
    QPainter painter(&picture);
    painter.setPen(ToQColor(kHoldColor));
    painter.drawPolyline(next_.hold.data(), static_cast<int>(next_.hold.size()));
  }
  std::swap(shown_, next_);
  pictureKey_ = picture.cacheKey();
  return changed;
}

void SpectrumView::MakeShape(SpectrumShape& shape, std::span<const double> averaged,
                             std::span<const double> hold, float fftRate, int sampleRate) {
  const int w = grid_.width();
  const int h = grid_.height();
  shape.Reset(w, h);
  // Below 51 Hz there is no axis from 25 Hz to the Nyquist frequency.
  if (sampleRate <= 50) return;
  PrepareColumns(w, sampleRate);
  WalkColumns(averaged, w, [&](int x, double mean) {
    if (x >= 0 && x < w)
      shape.barTop[static_cast<size_t>(x)] = std::clamp(BarTop(mean, fftRate, h), 0, h);
  });
  WalkColumns(hold, w,
              [&](int x, double mean) { shape.hold.emplace_back(x, BarTop(mean, fftRate, h)); });
  shape.IndexCurve();
}

}  // namespace varn
