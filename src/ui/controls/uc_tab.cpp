#include "ui/controls/uc_tab.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "ui/controls/control_drawing.h"
#include "ui/controls/control_font.h"
#include "ui/twips.h"

namespace varn {

namespace {
constexpr int kTabCaptionPadding = 10;  // pixels, left and right together: 2 x 5
// Unselected tabs sit this much lower, so the selected one stands out.
constexpr int kLoweredPixels = 3;
}  // namespace

UC_Tab::UC_Tab(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  tabs_.resize(1);
}

void UC_Tab::SetNumTab(int count) {
  tabs_.resize(static_cast<size_t>(std::max(0, count)));
  if (selected_ >= NumTab()) selected_ = NumTab() - 1;
  updateGeometry();
  update();
}

QString UC_Tab::TabStr(int tab) const {
  if (tab < 0 || tab >= NumTab()) return {};
  return tabs_[static_cast<size_t>(tab)].caption;
}

void UC_Tab::SetTabStr(int tab, const QString& caption) {
  if (tab < 0 || tab >= NumTab()) return;
  tabs_[static_cast<size_t>(tab)].caption = caption;
  updateGeometry();
  update();
}

bool UC_Tab::TabHidden(int tab) const {
  return tab >= 0 && tab < NumTab() && tabs_[static_cast<size_t>(tab)].hidden;
}

void UC_Tab::SetTabHidden(int tab, bool hidden) {
  if (tab < 0 || tab >= NumTab()) return;
  tabs_[static_cast<size_t>(tab)].hidden = hidden;
  updateGeometry();
  update();
}

void UC_Tab::SetTabMinWidth(int twips) {
  minWidthTwips_ = std::max(0, twips);
  updateGeometry();
  update();
}

void UC_Tab::SetUseIndpWidth(int independent) {
  useIndpWidth_ = independent;
  updateGeometry();
  update();
}

void UC_Tab::SetFontSize(float points) {
  fontSize_ = points;
  updateGeometry();
  update();
}

void UC_Tab::SetSelectedTab(int tab) {
  selected_ = tab >= 0 && tab < NumTab() ? tab : -1;
  update();
}

void UC_Tab::SetBGPic(int, int, QWidget* window) {
  backgroundWindow_ = window;
  update();
}

int UC_Tab::WidthPixels(int tab) const {
  if (tab < 0 || tab >= NumTab() || TabHidden(tab)) return 0;
  const QFontMetrics metrics(CachedControlFont(fontSize_).font);
  auto own = [&](int i) {
    return std::max(
        TwipsToPixels(minWidthTwips_),
        metrics.horizontalAdvance(tabs_[static_cast<size_t>(i)].caption) + kTabCaptionPadding);
  };
  if (useIndpWidth_ != 0) return own(tab);
  int widest = 0;
  for (int i = 0; i < NumTab(); ++i)
    if (!TabHidden(i)) widest = std::max(widest, own(i));
  return widest;
}

int UC_Tab::TabWidth(int tab) const { return PixelsToTwips(WidthPixels(tab)); }

QRect UC_Tab::TabRect(int tab) const {
  if (tab < 0 || tab >= NumTab() || TabHidden(tab)) return {};
  int left = 0;
  for (int i = 0; i < tab; ++i) left += WidthPixels(i);
  return QRect(left, 0, WidthPixels(tab), height());
}

int UC_Tab::TabAt(int x) const {
  int left = 0;
  for (int i = 0; i < NumTab(); ++i) {
    const int w = WidthPixels(i);
    if (w > 0 && x >= left && x < left + w) return i;
    left += w;
  }
  return -1;
}

QSize UC_Tab::sizeHint() const {
  int total = 0;
  for (int i = 0; i < NumTab(); ++i) total += WidthPixels(i);
  const QFontMetrics metrics(CachedControlFont(fontSize_).font);
  return {total, metrics.height() + 8 + kLoweredPixels};
}

void UC_Tab::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFont font = CachedControlFont(fontSize_).font;
  for (int i = 0; i < NumTab(); ++i) {
    QRect r = TabRect(i);
    if (r.isEmpty()) continue;
    const bool chosen = i == selected_;
    if (!chosen) r.setTop(kLoweredPixels);
    FaceLook look;
    look.down = !chosen;  // the chosen tab is the raised, light one
    look.enabled = isEnabled();
    DrawButtonFace(painter, r, look);
    DrawFitCaption(painter, r.adjusted(kTabCaptionPadding / 2, 0, -kTabCaptionPadding / 2, 0),
                   tabs_[static_cast<size_t>(i)].caption, font,
                   isEnabled() ? QColor(Qt::black) : DisabledTextColour(), Qt::AlignHCenter);
    if (chosen && hasFocus()) DrawFocusMark(painter, r);
  }
}

void UC_Tab::UserSelects(int tab) {
  if (clickDisabled_ || tab < 0 || tab >= NumTab() || TabHidden(tab)) return;
  if (tab == selected_ && !raiseOnSelected_) return;
  selected_ = tab;
  update();
  if (onTabClicked) onTabClicked(tab);
}

void UC_Tab::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) UserSelects(TabAt(event->position().toPoint().x()));
}

int UC_Tab::NextVisible(int from, int step) const {
  for (int i = from + step; i >= 0 && i < NumTab(); i += step)
    if (!TabHidden(i)) return i;
  return -1;
}

void UC_Tab::keyPressEvent(QKeyEvent* event) {
  int target = -1;
  switch (event->key()) {
    case Qt::Key_Left:
      target = NextVisible(selected_, -1);
      break;
    case Qt::Key_Right:
      target = NextVisible(selected_, 1);
      break;
    case Qt::Key_Home:
      target = NextVisible(-1, 1);
      break;
    case Qt::Key_End:
      target = NextVisible(NumTab(), -1);
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  if (target >= 0 && target != selected_) UserSelects(target);
}

}  // namespace varn
