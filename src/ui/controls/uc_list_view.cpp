#include "ui/controls/uc_list_view.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "ui/controls/control_font.h"
#include "ui/controls/uc_slider.h"
#include "ui/twips.h"

namespace varn {

namespace {
constexpr int kFramePixels = 2;   // the sunken edge around the list
constexpr int kBarPixels = 16;    // thickness of the scroll bars
// The row height is at least this many times the visible height of a line.
constexpr double kRowToTextHeight = 1.4;
}  // namespace

UC_ListView::UC_ListView(QWidget* parent)
    : QWidget(parent), vbar_(new UC_Slider(this)), hbar_(new UC_Slider(this)) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // the resize cursor over tab borders
  setAttribute(Qt::WA_OpaquePaintEvent);
  vbar_->SetIsVertical(true);
  hbar_->SetIsVertical(false);
  for (UC_Slider* bar : {vbar_, hbar_}) {
    bar->setFocusPolicy(Qt::NoFocus);  // the keys go to the list itself
    bar->SetMin(0);
    bar->SetMax(0);
    bar->hide();
  }
  hbar_->SetSmallChange(kListHScrollStep);
  vbar_->onScrolled = [this] { update(); };
  hbar_->onScrolled = [this] { update(); };
  columns_.resize(1);
}

void UC_ListView::SetNumData(int columns) {
  rows_.SetNumData(columns);
  columns_.resize(static_cast<size_t>(rows_.NumData()));
}

void UC_ListView::SetHbarDisabled(bool disabled) {
  hbarDisabled_ = disabled;
  LayOut();
}

void UC_ListView::SetVbarDisabled(bool disabled) {
  vbarDisabled_ = disabled;
  LayOut();
}

void UC_ListView::SetOneHeight(int twips) {
  oneHeight_ = std::max(1, twips);
  LayOut();
}

void UC_ListView::SetUseMadara(bool striped) {
  useMadara_ = striped;
  update();
}

void UC_ListView::SetSelectedColor(int bgr) {
  selectedColor_ = bgr;
  update();
}

void UC_ListView::SetSelectedColorMode(int mode) {
  selectedColorMode_ = mode;
  update();
}

void UC_ListView::SetVLineColor(int bgr) {
  vLineColor_ = bgr;
  update();
}

void UC_ListView::Init() {
  columns_.resize(static_cast<size_t>(rows_.NumData()));
  LayOut();
  update();
}

void UC_ListView::InitTab() {
  columns_.resize(static_cast<size_t>(rows_.NumData()));
  // Rows at least 1.4 lines of the font high, so text never touches the
  // grid; the cache's correction gives the line's visible height.
  const ControlFont font = CachedControlFont();
  const double visible = QFontMetrics(font.font).height() * static_cast<double>(font.correction);
  const int needed = static_cast<int>(std::ceil(visible * kRowToTextHeight)) * TwipsPerPixel();
  if (oneHeight_ < needed) oneHeight_ = needed;
  LayOut();
  update();
}

QString UC_ListView::TabName(int column) const {
  if (column < 0 || column >= NumData()) return {};
  return columns_[static_cast<size_t>(column)].name;
}

void UC_ListView::SetTabName(int column, const QString& caption) {
  if (column < 0 || column >= NumData()) return;
  columns_[static_cast<size_t>(column)].name = caption;
}

int UC_ListView::TabWidth(int column) const {
  if (column < 0 || column >= NumData()) return 0;
  return columns_[static_cast<size_t>(column)].widthTwips;
}

void UC_ListView::SetTabWidth(int column, int twips) {
  if (column < 0 || column >= NumData()) return;
  columns_[static_cast<size_t>(column)].widthTwips = std::max(0, twips);
  LayOut();
  update();
}

int UC_ListView::TabAlign(int column) const {
  if (column < 0 || column >= NumData()) return 0;
  return columns_[static_cast<size_t>(column)].align;
}

void UC_ListView::SetTabAlign(int column, int align) {
  if (column < 0 || column >= NumData()) return;
  columns_[static_cast<size_t>(column)].align = align;
  update();
}

bool UC_ListView::TabHidden(int column) const {
  return column >= 0 && column < NumData() && columns_[static_cast<size_t>(column)].hidden;
}

void UC_ListView::SetTabHidden(int column, bool hidden) {
  if (column < 0 || column >= NumData()) return;
  columns_[static_cast<size_t>(column)].hidden = hidden;
  LayOut();
  update();
}

void UC_ListView::SetTabWidthAuto(int column) {
  if (column < 0 || column >= NumData()) return;
  const QFontMetrics metrics(CachedControlFont().font);
  int widest = metrics.horizontalAdvance(TabName(column));
  for (int row = 0; row < ItemCount(); ++row)
    widest = std::max(widest, metrics.horizontalAdvance(CellText(row, column)));
  SetTabWidth(column, PixelsToTwips(widest + 2 * kListCellPadding + 2));
}

void UC_ListView::ReDrawTab(int column) {
  if (column < 0)
    update(HeaderRect());
  else
    update(ColumnRect(column).intersected(HeaderRect()));
}

int UC_ListView::TopItem() const { return vbar_->Value(); }

void UC_ListView::SetSelectedItem(int row) {
  rows_.Select(row);
  update();
}

void UC_ListView::SetValue(int row, int column, const QVariant& value) {
  if (rows_.SetValue(row, column, value)) update();
}

int UC_ListView::DispColor(int row) const {
  const ListRow* r = rows_.Row(row);
  return r ? r->dispColor : -1;
}

void UC_ListView::SetDispColor(int row, int bgr) {
  if (ListRow* r = rows_.Row(row)) r->dispColor = bgr;
  update();
}

bool UC_ListView::HLine(int row) const {
  const ListRow* r = rows_.Row(row);
  return r && r->hLine;
}

void UC_ListView::SetHLine(int row, bool line) {
  if (ListRow* r = rows_.Row(row)) r->hLine = line;
  update();
}

int UC_ListView::IconType(int row) const {
  const ListRow* r = rows_.Row(row);
  return r ? r->iconType : 0;
}

void UC_ListView::SetIconType(int row, int type) {
  if (ListRow* r = rows_.Row(row)) r->iconType = type;
}

QVariant UC_ListView::AuxID(int row, int index) const {
  const ListRow* r = rows_.Row(row);
  if (!r || index < 0 || index >= NumAux()) return {};
  return r->aux[static_cast<size_t>(index)];
}

void UC_ListView::SetAuxID(int row, int index, const QVariant& value) {
  ListRow* r = rows_.Row(row);
  if (r && index >= 0 && index < NumAux()) r->aux[static_cast<size_t>(index)] = value;
}

int UC_ListView::AddItem() {
  const int row = rows_.Add();
  SetVbarParm();
  return row;
}

void UC_ListView::InsertItem(int pIndex, int pNum) {
  // The range follows at once, so scrolling before the next Refresh stays
  // inside the rows.
  if (rows_.Insert(pIndex, pNum)) SetVbarParm();
}

void UC_ListView::DeleteItem(int pIndex) {
  if (rows_.Delete(pIndex)) SetVbarParm();
}

void UC_ListView::DeleteAll() {
  rows_.Clear();
  SetVbarParm();
}

void UC_ListView::ExchangeItem(int a, int b) {
  if (rows_.Exchange(a, b)) update();
}

void UC_ListView::ReOrder(int column, bool inverted) {
  if (column < 0 || column >= NumData()) return;
  rows_.Sort(column, dataNumeric_, inverted);
  orderData_ = column;
  orderInverted_ = inverted;
  update();
}

void UC_ListView::ReDraw() { update(BodyRect()); }

void UC_ListView::Refresh() {
  SetVbarParm();
  vbar_->SetValue(0);
  hbar_->SetValue(0);
  update();  // rows and every tab
}

void UC_ListView::SetVbarParm() {
  LayOut();
  update();
}

void UC_ListView::VBarMove(int value) {
  const int before = vbar_->Value();
  vbar_->SetValue(value);
  if (vbar_->Value() != before) ReDraw();
}

void UC_ListView::VBarScroll(int pValue) {
  if (!vbarShown_ || pValue == 0) return;
  VBarMove(vbar_->Value() + pValue * numWheelScroll_);
}

void UC_ListView::HBarMove(int value) {
  const int before = hbar_->Value();
  hbar_->SetValue(value);
  if (hbar_->Value() != before) update();
}

void UC_ListView::HBarScroll(int notches) {
  if (!hbarShown_ || notches == 0) return;
  HBarMove(hbar_->Value() + notches * kListHScrollStep);
}

void UC_ListView::ShowItem(int row) {
  if (!rows_.Valid(row)) return;
  const int top = TopItem();
  const int visible = std::max(1, VisibleRows());
  if (row < top)
    VBarMove(row);
  else if (row >= top + visible)
    VBarMove(row - visible + 1);
}

int UC_ListView::Left() const { return PixelsToTwips(x()); }
void UC_ListView::SetLeft(int twips) { move(TwipsToPixels(twips), y()); }
int UC_ListView::Top() const { return PixelsToTwips(y()); }
void UC_ListView::SetTop(int twips) { move(x(), TwipsToPixels(twips)); }
int UC_ListView::Width() const { return PixelsToTwips(width()); }
void UC_ListView::SetWidth(int twips) { resize(std::max(0, TwipsToPixels(twips)), height()); }
int UC_ListView::Height() const { return PixelsToTwips(height()); }
void UC_ListView::SetHeight(int twips) { resize(width(), std::max(0, TwipsToPixels(twips))); }

int UC_ListView::RowHeightPixels() const { return std::max(1, TwipsToPixels(oneHeight_)); }

int UC_ListView::ColumnPixels(int column) const {
  if (TabHidden(column)) return 0;
  return TwipsToPixels(TabWidth(column));
}

int UC_ListView::TotalColumnPixels() const {
  int total = 0;
  for (int c = 0; c < NumData(); ++c) total += ColumnPixels(c);
  return total;
}

QRect UC_ListView::Inner() const {
  return rect().adjusted(kFramePixels, kFramePixels, -kFramePixels, -kFramePixels);
}

QRect UC_ListView::HeaderRect() const {
  const QRect inner = Inner();
  const int right = vbarShown_ ? vbar_->x() : inner.left() + inner.width();
  return QRect(inner.left(), inner.top(), std::max(0, right - inner.left()),
               std::min(RowHeightPixels(), inner.height()));
}

QRect UC_ListView::BodyRect() const {
  const QRect inner = Inner();
  const QRect header = HeaderRect();
  const int top = header.top() + header.height();
  const int bottom = hbarShown_ ? hbar_->y() : inner.top() + inner.height();
  return QRect(header.left(), top, header.width(), std::max(0, bottom - top));
}

int UC_ListView::VisibleRows() const { return BodyRect().height() / RowHeightPixels(); }

void UC_ListView::LayOut() {
  const QRect inner = Inner();
  const int rowPx = RowHeightPixels();
  const int total = TotalColumnPixels();
  // The bars take room from each other: settle which show in two rounds.
  bool v = false, h = false;
  for (int round = 0; round < 2; ++round) {
    const int bodyH = inner.height() - rowPx - (h ? kBarPixels : 0);
    v = !vbarDisabled_ && ItemCount() > std::max(0, bodyH) / rowPx;
    h = !hbarDisabled_ && total > std::max(0, inner.width() - (v ? kBarPixels : 0));
  }
  vbarShown_ = v;
  hbarShown_ = h;
  const int barBottom = inner.top() + inner.height() - (h ? kBarPixels : 0);
  vbar_->setGeometry(inner.left() + inner.width() - kBarPixels, inner.top(), kBarPixels,
                     std::max(0, barBottom - inner.top()));
  hbar_->setGeometry(inner.left(), inner.top() + inner.height() - kBarPixels,
                     std::max(0, inner.width() - (v ? kBarPixels : 0)), kBarPixels);
  vbar_->setVisible(v);
  hbar_->setVisible(h);

  const int visible = VisibleRows();
  vbar_->SetMax(v ? std::max(0, ItemCount() - visible) : 0);
  vbar_->SetLargeChange(std::max(1, visible));
  vbar_->SetPointerSize(std::max(1, visible));
  const int bodyWidth = BodyRect().width();
  hbar_->SetMax(h ? std::max(0, total - bodyWidth) : 0);
  hbar_->SetLargeChange(std::max(1, bodyWidth));
  hbar_->SetPointerSize(std::max(1, bodyWidth));
}

void UC_ListView::resizeEvent(QResizeEvent*) { LayOut(); }

QRect UC_ListView::ColumnRect(int column) const {
  if (column < 0 || column >= NumData()) return {};
  const QRect header = HeaderRect();
  int left = header.left() - hbar_->Value();
  for (int c = 0; c < column; ++c) left += ColumnPixels(c);
  return QRect(left, header.top(), ColumnPixels(column), height() - header.top());
}

int UC_ListView::ColumnAt(int x) const {
  for (int c = 0; c < NumData(); ++c) {
    const QRect r = ColumnRect(c);
    if (r.width() > 0 && x >= r.left() && x < r.left() + r.width()) return c;
  }
  return -1;
}

int UC_ListView::RowAt(QPoint point) const {
  const QRect body = BodyRect();
  if (!body.contains(point)) return -1;
  const int row = TopItem() + (point.y() - body.top()) / RowHeightPixels();
  return row < ItemCount() ? row : -1;
}

QString UC_ListView::CellText(int row, int column) const {
  return rows_.Value(row, column).toString();
}

}  // namespace varn
