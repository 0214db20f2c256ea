#include "ui/controls/uc_buttons.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <utility>

#include "ui/controls/control_drawing.h"
#include "ui/controls/control_font.h"
#include "ui/display/colours.h"
#include "ui/twips.h"

namespace varn {

namespace {
// The dialogs' Cancel / OK bar, twips.
constexpr int kOkCancelWidthTwips = 2400;
constexpr int kOkCancelHeightTwips = 330;
// Room left and right of a caption, pixels.
constexpr int kCaptionPadding = 8;
}  // namespace

UC_Buttons::UC_Buttons(QWidget* parent, int index) : QWidget(parent), index_(index) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // for the hover look and event
  buttons_.resize(1);
}

int UC_Buttons::ShiftStateOf(Qt::KeyboardModifiers modifiers) {
  int state = 0;
  if (modifiers & Qt::ShiftModifier) state += 1;
  if (modifiers & Qt::ControlModifier) state += 2;
  if (modifiers & Qt::AltModifier) state += 4;
  return state;
}

void UC_Buttons::SetNumButtons(int count) {
  buttons_.resize(static_cast<size_t>(std::max(0, count)));
  if (selected_ >= NumButtons()) selected_ = -1;
  pressed_ = hover_ = -1;
  updateGeometry();
  update();
}

void UC_Buttons::SetMimiWidth(int twips) {
  minWidthTwips_ = std::max(0, twips);
  updateGeometry();
  update();
}

void UC_Buttons::SetDesignType(int type) {
  designType_ = type;
  update();
}

void UC_Buttons::Init() {
  updateGeometry();
  update();
}

void UC_Buttons::DrawButton(int button) {
  if (button >= 0 && button < NumButtons()) update(ButtonRect(button));
}

bool UC_Buttons::GetButtonDisable(int button) const {
  return button >= 0 && button < NumButtons() && buttons_[static_cast<size_t>(button)].disabled;
}

void UC_Buttons::SetButtonDisable(int button, bool disabled) {
  if (button < 0 || button >= NumButtons()) return;
  buttons_[static_cast<size_t>(button)].disabled = disabled;
  if (disabled && pressed_ == button) pressed_ = -1;
  DrawButton(button);
}

void UC_Buttons::SetButtonDisableAll(bool disabled) {
  for (int i = 0; i < NumButtons(); ++i) SetButtonDisable(i, disabled);
}

void UC_Buttons::SetNoGrayAtDisabled(bool noGray) {
  noGrayAtDisabled_ = noGray;
  update();
}

int UC_Buttons::GetButtonState(int button) const {
  if (button < 0 || button >= NumButtons()) return 0;
  return buttons_[static_cast<size_t>(button)].state;
}

void UC_Buttons::SetButtonState(int button, int state) {
  if (button < 0 || button >= NumButtons()) return;
  buttons_[static_cast<size_t>(button)].state = state;
  DrawButton(button);
}

QString UC_Buttons::GetButtonChar(int button) const {
  if (button < 0 || button >= NumButtons()) return {};
  return buttons_[static_cast<size_t>(button)].caption;
}

void UC_Buttons::SetButtonChar(int button, const QString& caption) {
  if (button < 0 || button >= NumButtons()) return;
  buttons_[static_cast<size_t>(button)].caption = caption;
  updateGeometry();
  DrawButton(button);
}

void UC_Buttons::SetButtonCharNum(int first) {
  for (int i = 0; i < NumButtons(); ++i) SetButtonChar(i, QString::number(first + i));
}

QString UC_Buttons::ToolTip(int button) const {
  if (button < 0 || button >= NumButtons()) return {};
  return buttons_[static_cast<size_t>(button)].toolTip;
}

void UC_Buttons::SetToolTip(int button, const QString& text) {
  if (button >= 0 && button < NumButtons()) buttons_[static_cast<size_t>(button)].toolTip = text;
}

void UC_Buttons::SetOKCancel(bool okIsZero, bool noSize, int type) {
  SetNumButtons(2);
  SetButtonChar(okIsZero ? 1 : 0, QString::fromUtf8(kCancelCaption));
  SetButtonChar(okIsZero ? 0 : 1, QString::fromUtf8(kOkCaption));
  if (type == 1) SetSelectedColor(0xFFFFFF);
  if (!noSize) resize(TwipsToPixels(kOkCancelWidthTwips), TwipsToPixels(kOkCancelHeightTwips));
  selected_ = okIsZero ? 0 : 1;
  update();
}

void UC_Buttons::SetFontSize(float points) {
  fontSize_ = points;
  updateGeometry();
  update();
}

void UC_Buttons::SetFontFace(const QString& face) {
  fontFace_ = face;
  updateGeometry();
  update();
}

void UC_Buttons::SetFontBold(bool bold) {
  fontBold_ = bold;
  updateGeometry();
  update();
}

void UC_Buttons::SetSelectedColor(int bgr) {
  selectedColor_ = bgr;
  update();
}

void UC_Buttons::SetSelectedButton(int button) {
  selected_ = button >= 0 && button < NumButtons() ? button : -1;
  update();
}

QRect UC_Buttons::ButtonRect(int button) const {
  const int n = NumButtons();
  if (button < 0 || button >= n) return {};
  // Equal shares of the bar; the last button takes the pixels left over.
  const int left = button * width() / n;
  const int right = (button + 1) * width() / n;
  return QRect(left, 0, right - left, height());
}

int UC_Buttons::ButtonAt(int x) const {
  const int n = NumButtons();
  if (n == 0 || x < 0 || x >= width()) return -1;
  for (int i = 0; i < n; ++i) {
    const QRect r = ButtonRect(i);
    if (x >= r.left() && x < r.left() + r.width()) return i;
  }
  return -1;
}

QSize UC_Buttons::sizeHint() const {
  const QFontMetrics metrics(CachedControlFont(fontSize_, fontBold_, fontFace_).font);
  int widest = TwipsToPixels(minWidthTwips_);
  for (const Button& b : buttons_)
    widest = std::max(widest, metrics.horizontalAdvance(b.caption) + 2 * kCaptionPadding);
  return {widest * std::max(1, NumButtons()), metrics.height() + 8};
}

bool UC_Buttons::Usable(int button) const {
  return isEnabled() && button >= 0 && button < NumButtons() &&
         !buttons_[static_cast<size_t>(button)].disabled;
}

void UC_Buttons::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFont font = CachedControlFont(fontSize_, fontBold_, fontFace_).font;
  for (int i = 0; i < NumButtons(); ++i) {
    const Button& b = buttons_[static_cast<size_t>(i)];
    const QRect r = ButtonRect(i);
    FaceLook look;
    look.down = b.state != 0 || i == pressed_;
    look.hover = i == hover_;
    look.enabled = Usable(i);
    look.flat = designType_ == 1;
    DrawButtonFace(painter, r, look);
    QColor colour = b.state != 0 ? ToQColor(selectedColor_) : QColor(Qt::black);
    if (!look.enabled && !noGrayAtDisabled_) colour = DisabledTextColour();
    DrawFitCaption(painter, r.adjusted(kCaptionPadding / 2, 0, -kCaptionPadding / 2, 0), b.caption,
                   font, colour, Qt::AlignHCenter);
    if (hasFocus() && i == selected_) DrawFocusMark(painter, r);
  }
}

void UC_Buttons::mousePressEvent(QMouseEvent* event) {
  const int button = ButtonAt(event->position().toPoint().x());
  if (!Usable(button)) return;
  if (event->button() == Qt::LeftButton) {
    pressed_ = button;
    selected_ = button;
    update();
    if (onButtonDown) onButtonDown(index_, button);
  }
}

void UC_Buttons::mouseReleaseEvent(QMouseEvent* event) {
  const int button = ButtonAt(event->position().toPoint().x());
  const bool inside = rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) {
    const int wasPressed = std::exchange(pressed_, -1);
    update();
    // A press dragged off its button is no click, as users expect.
    if (inside && button == wasPressed && Usable(button))
      Activate(button, ShiftStateOf(event->modifiers()));
  } else if (event->button() == Qt::RightButton && inside && Usable(button)) {
    if (onRightClicked) onRightClicked(index_, button);
  }
}

void UC_Buttons::Activate(int button, int shiftState) {
  if (shiftState != 0) {
    if (onShiftClicked) onShiftClicked(index_, button, shiftState);
  } else if (onButtonClicked) {
    onButtonClicked(index_, button);
  }
}

void UC_Buttons::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  SetHover(rect().contains(at) ? ButtonAt(at.x()) : -1);
}

void UC_Buttons::leaveEvent(QEvent*) { SetHover(-1); }

void UC_Buttons::SetHover(int button) {
  if (button == hover_) return;
  hover_ = button;
  update();
  if (button >= 0 && onHover) onHover(index_, button);
}

void UC_Buttons::MoveSelection(int step) {
  const int n = NumButtons();
  if (n == 0) return;
  int at = selected_ < 0 ? (step > 0 ? -1 : n) : selected_;
  for (int tries = 0; tries < n; ++tries) {
    at += step;
    if (at < 0 || at >= n) return;  // no wrap: the ends are where the bar ends
    if (Usable(at)) {
      selected_ = at;
      update();
      return;
    }
  }
}

void UC_Buttons::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      MoveSelection(-1);
      return;
    case Qt::Key_Right:
    case Qt::Key_Down:
      MoveSelection(1);
      return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (selected_ < 0) MoveSelection(1);
      if (Usable(selected_)) {
        Activate(selected_, ShiftStateOf(event->modifiers()));
        return;
      }
      break;
    default:
      break;
  }
  QWidget::keyPressEvent(event);  // Escape and the rest go to the window
}

bool UC_Buttons::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTip(ButtonAt(help->pos().x()));
    if (text.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), text, this);
    return true;
  }
  return QWidget::event(event);
}

}  // namespace varn
