#include "ui/controls/uc_text_picture.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>

#include "ui/controls/control_drawing.h"
#include "ui/controls/control_font.h"
#include "ui/display/colours.h"
#include "ui/display/paint_style.h"
#include "ui/twips.h"

namespace varn {

namespace {
constexpr int kTextMargin = 3;  // pixels left and right of a cell's text
}

int MouseButtonNumber(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

UC_TextPicture::UC_TextPicture(QWidget* parent) : QWidget(parent) {
  setAcceptDrops(true);
  ResetMe();
}

void UC_TextPicture::ResetMe() {
  colorSets_ = {{0x000000, kTransparent}};
  cells_ = {Cell{}};
  update();
}

int UC_TextPicture::AddColorSet(int fore, int back) {
  colorSets_.push_back({fore, back});
  return static_cast<int>(colorSets_.size()) - 1;
}

void UC_TextPicture::SetColor(int fore, int back) {
  const int set = AddColorSet(fore, back);
  for (Cell& c : cells_) c.colorSet = set;
  update();
}

void UC_TextPicture::SetColorEx(int cell, int colorSet) {
  if (cell < 0 || cell >= NumCells() || colorSet < 0 ||
      colorSet >= static_cast<int>(colorSets_.size()))
    return;
  cells_[static_cast<size_t>(cell)].colorSet = colorSet;
  update();
}

int UC_TextPicture::AddTextSpace(int widthTwips) {
  Cell c;
  c.widthTwips = std::max(0, widthTwips);
  cells_.push_back(c);
  update();
  return NumCells() - 1;
}

void UC_TextPicture::DispMes(const QString& text, int cell, int colorSet) {
  if (cell < 0 || cell >= NumCells()) return;
  cells_[static_cast<size_t>(cell)].text = text;
  if (colorSet >= 0) SetColorEx(cell, colorSet);
  update();
}

QString UC_TextPicture::TextMes(int cell) const {
  if (cell < 0 || cell >= NumCells()) return {};
  return cells_[static_cast<size_t>(cell)].text;
}

void UC_TextPicture::SetFontSize(float points) {
  fontSize_ = points;
  updateGeometry();
  update();
}

void UC_TextPicture::SetFontBold(bool bold) {
  fontBold_ = bold;
  updateGeometry();
  update();
}

void UC_TextPicture::SetTextAlignment(Qt::Alignment alignment) {
  alignment_ = alignment & Qt::AlignHorizontal_Mask;
  update();
}

void UC_TextPicture::SetIsFlat(bool flat) {
  flat_ = flat;
  update();
}

QRect UC_TextPicture::CellRect(int cell) const {
  if (cell < 0 || cell >= NumCells()) return {};
  // Fixed cells first; the cells of width 0 share what is left.
  int fixed = 0, shared = 0;
  for (const Cell& c : cells_) {
    fixed += TwipsToPixels(c.widthTwips);
    if (c.widthTwips == 0) ++shared;
  }
  const int rest = std::max(0, width() - fixed);
  int left = 0, sharedSeen = 0;
  for (int i = 0; i <= cell; ++i) {
    const Cell& c = cells_[static_cast<size_t>(i)];
    int w = TwipsToPixels(c.widthTwips);
    if (c.widthTwips == 0) {
      w = (sharedSeen + 1) * rest / shared - sharedSeen * rest / shared;
      ++sharedSeen;
    }
    if (i == cell) return QRect(left, 0, w, height());
    left += w;
  }
  return {};
}

int UC_TextPicture::CellAt(int x) const {
  for (int i = 0; i < NumCells(); ++i) {
    const QRect r = CellRect(i);
    if (x >= r.left() && x < r.left() + r.width()) return i;
  }
  return NumCells() > 0 ? NumCells() - 1 : -1;
}

QSize UC_TextPicture::sizeHint() const {
  const QFontMetrics metrics(CachedControlFont(fontSize_, fontBold_).font);
  int w = 0;
  for (const Cell& c : cells_)
    w += c.widthTwips > 0 ? TwipsToPixels(c.widthTwips)
                          : metrics.horizontalAdvance(c.text) + 2 * kTextMargin;
  return {w, metrics.height() + 4};
}

void UC_TextPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFont font = CachedControlFont(fontSize_, fontBold_).font;
  for (int i = 0; i < NumCells(); ++i) {
    const Cell& c = cells_[static_cast<size_t>(i)];
    const ColorSet& colours = colorSets_[static_cast<size_t>(c.colorSet)];
    const QRect r = CellRect(i);
    if (colours.back != kTransparent) painter.fillRect(r, ToQColor(colours.back));
    const QColor ink = isEnabled() ? ToQColor(colours.fore) : DisabledTextColour();
    DrawFitCaption(painter, r.adjusted(kTextMargin, 0, -kTextMargin, 0), c.text, font, ink,
                   alignment_);
  }
  if (!flat_) DrawEdgeBox(painter, rect(), true);
}

void UC_TextPicture::MouseUD(QMouseEvent* event, int downFlag) {
  if (locked_ || !useClick_ || !onMouseUD) return;
  onMouseUD(CellAt(event->position().toPoint().x()), downFlag, MouseButtonNumber(event->button()));
}

void UC_TextPicture::mousePressEvent(QMouseEvent* event) { MouseUD(event, -1); }

void UC_TextPicture::mouseReleaseEvent(QMouseEvent* event) { MouseUD(event, 0); }

void UC_TextPicture::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is still a press for MouseUD.
  MouseUD(event, -1);
  if (locked_ || !useDblClick_ || !onDblClicked) return;
  onDblClicked(CellAt(event->position().toPoint().x()));
}

void UC_TextPicture::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (!locked_ && onOLEDragDrop && (data->hasUrls() || data->hasText()))
    event->acceptProposedAction();
}

void UC_TextPicture::dropEvent(QDropEvent* event) {
  if (locked_ || !onOLEDragDrop) return;
  QStringList dropped;
  const QMimeData* data = event->mimeData();
  if (data->hasUrls()) {
    for (const QUrl& url : data->urls())
      dropped << (url.isLocalFile() ? url.toLocalFile() : url.toString());
  } else if (data->hasText()) {
    dropped << data->text();
  }
  event->acceptProposedAction();
  onOLEDragDrop(dropped);
}

}  // namespace varn
