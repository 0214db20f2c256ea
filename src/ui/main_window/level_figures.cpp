#include "ui/main_window/level_figures.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "ui/fonts/ui_font.h"
#include "ui/main_window/repaint_pacer.h"
#include "ui/twips.h"

namespace varn {

namespace {
struct CellPlace {
  float points;
  int left;  // twips
  int top;
};
// Values 0..3 in 10 pt, captions 4..7 in 9 pt; Max on the left, Min on the
// right, L above R.
constexpr std::array<CellPlace, 8> kCells = {{{10, 750, 105},
                                              {10, 750, 300},
                                              {10, 2190, 105},
                                              {10, 2190, 300},
                                              {9, 120, 105},
                                              {9, 120, 300},
                                              {9, 1590, 105},
                                              {9, 1590, 300}}};
}  // namespace

LevelFigures::LevelFigures(QWidget* parent) : QWidget(parent) {
  texts_[4] = QStringLiteral("Max L :");
  texts_[5] = QStringLiteral("Max R :");
  texts_[6] = QStringLiteral("Min L :");
  texts_[7] = QStringLiteral("Min R :");
  family_ = UiFace();
}

void LevelFigures::SetFontFamily(const QString& family) {
  family_ = family.isEmpty() ? UiFace() : family;
  update();
}

void LevelFigures::SetCell(int cell, const QString& text) {
  if (cell < 0 || cell > 7 || texts_[static_cast<size_t>(cell)] == text) return;
  texts_[static_cast<size_t>(cell)] = text;
  MarkChanged();
}

void LevelFigures::MarkChanged() {
  if (pacer_)
    pacer_->MarkAll(this);
  else
    update();
}

int LevelFigures::CellLeft(int cell) const {
  if (cell < 0 || cell > 7) return 0;
  const int left = TwipsToPixels(kCells[static_cast<size_t>(cell)].left);
  if (cell > 3) return left;
  // A face with wider Latin letters than the program's own (DejaVu Sans)
  // runs the caption past the figure's place: the figure then starts a
  // space after the caption, so its minus sign is never drawn under the
  // colon.
  const size_t caption = static_cast<size_t>(cell) + 4;
  QFont f(family_);
  f.setPointSizeF(kCells[caption].points);
  const QFontMetrics metrics(f);
  const int captionEnd = TwipsToPixels(kCells[caption].left) +
                         metrics.horizontalAdvance(texts_[caption]) +
                         metrics.horizontalAdvance(QLatin1Char(' ')) / 2;
  return std::max(left, captionEnd);
}

int LevelFigures::CellRoom(int cell) const {
  if (cell < 0 || cell > 7) return 0;
  const int left = CellLeft(cell);
  // Max figures run up to the Min captions, Min figures to the box's edge.
  const int right = cell < 2 ? TwipsToPixels(kCells[static_cast<size_t>(cell) + 6].left) : width();
  return right - left;
}

QFont LevelFigures::CellFont(int cell) const {
  QFont f(family_);
  if (cell < 0 || cell > 7) return f;
  float points = kCells[static_cast<size_t>(cell)].points;
  f.setPointSizeF(points);
  if (cell > 3) return f;  // the captions are fixed and fit
  const QString& text = texts_[static_cast<size_t>(cell)];
  const int room = CellRoom(cell);
  while (points > 5.0f && room > 0 && QFontMetrics(f).horizontalAdvance(text) > room) {
    points -= 0.5f;
    f.setPointSizeF(points);
  }
  return f;
}

void LevelFigures::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(palette().color(QPalette::WindowText));
  for (size_t i = 0; i < kCells.size(); ++i) {
    p.setFont(CellFont(static_cast<int>(i)));
    const int x = CellLeft(static_cast<int>(i));
    const int y = TwipsToPixels(kCells[i].top);
    p.drawText(QPoint(x, y + p.fontMetrics().ascent()), texts_[i]);
  }
}

}  // namespace varn
