#include "ui/dialogs/dialog_building.h"

#include <QFontMetrics>
#include <cmath>

#include "settings/numeric_text.h"
#include "settings/settings_store.h"
#include "ui/dialogs/dialog_canvas.h"
#include "ui/twips.h"
#include "util/error_catch.h"
#include "util/text.h"

namespace varn {

namespace {

// Label offsets of the layout rules, twips.
constexpr int kLabelGapLeft = 90;
constexpr int kLabelGapOther = 30;
constexpr int kLabelDown = 60;

int ToPixels(double twips) { return static_cast<int>(std::lround(twips / TwipsPerPixel())); }

}  // namespace

void PlaceNextTo(QWidget* control, const QWidget* reference, int mode, int gapTwips, int align) {
  if (!control || !reference) return;
  TrappedStep([&] {
    const int p = TwipsPerPixel();
    const double gap = gapTwips == kDefaultGap ? 2.0 * p : gapTwips;
    const QRect r = reference->geometry();
    int top = control->y();
    if (mode == kPlaceBelow) {
      top = ToPixels(static_cast<double>(r.y() + r.height()) * p + gap);
    } else if (mode == kPlaceCentredBeside) {
      top = ToPixels((r.y() + r.height() / 2.0 - control->height() / 2.0) * p);
    } else {
      return;
    }
    const int left = align == 1 ? r.x() : control->x();
    control->move(left, top);
  });
}

void CopyControlDesign(const QWidget& from, QWidget& to) {
  to.resize(from.size());
  to.setFont(from.font());
  to.setSizePolicy(from.sizePolicy());
  to.setFocusPolicy(from.focusPolicy());
  to.setInputMethodHints(from.inputMethodHints());
  if (const auto* edit = qobject_cast<const QLineEdit*>(&from)) {
    auto* target = qobject_cast<QLineEdit*>(&to);
    if (target) {
      target->setAlignment(edit->alignment());
      target->setMaxLength(edit->maxLength());
    }
  }
  if (const auto* combo = qobject_cast<const QComboBox*>(&from)) {
    auto* target = qobject_cast<QComboBox*>(&to);
    if (target) {
      target->setEditable(combo->isEditable());
      target->setMaxVisibleItems(combo->maxVisibleItems());
      target->setSizeAdjustPolicy(combo->sizeAdjustPolicy());
    }
  }
}

QPoint LabelTopLeft(const QRect& control, const QSize& textSize, int position, int dxTwips,
                    int dyTwips) {
  const double p = TwipsPerPixel();
  const double left = control.x() * p;
  const double top = control.y() * p;
  double x = 0;
  double y = 0;
  switch (position) {
    case kLabelLeft:
      x = left - textSize.width() * p - kLabelGapLeft;
      y = top + kLabelDown;
      break;
    case kLabelAbove:
      x = left + kLabelGapOther;
      y = top - textSize.height() * p - kLabelGapOther;
      break;
    default:
      x = left + control.width() * p + kLabelGapOther;
      y = top + kLabelDown;
      break;
  }
  return {ToPixels(x + dxTwips), ToPixels(y + dyTwips)};
}

void DrawLabel(DialogCanvas* window, const QWidget* control, const QString& text, int position,
               int dxTwips, int dyTwips) {
  if (!window || !control) return;
  TrappedStep([&] {
    const QFontMetrics metrics(window->font());
    const QSize size(metrics.horizontalAdvance(text), metrics.height());
    window->AddLabel(
        QRect(LabelTopLeft(control->geometry(), size, position, dxTwips, dyTwips), size), text);
  });
}

bool StoreNumericText(QLineEdit* textBox, double minimum, double maximum, int decimals,
                      std::string_view key) {
  if (!textBox) return false;
  const std::optional<std::string> stored =
      StoreNumericValue(textBox->text().toStdString(), minimum, maximum, decimals, key);
  if (!stored) return false;
  textBox->setText(QString::fromStdString(*stored));
  return true;
}

void SaveColumnWidths(int columnCount, const std::function<double(int)>& columnWidth,
                      std::string_view prefix, int offset, double divisor) {
  if (divisor == 0) return;
  TrappedStep([&] {
    SettingsBatch batch;
    for (int i = 0; i < columnCount; ++i) {
      const std::string key = "TabWidth_" + std::string(prefix) + std::to_string(i + offset + 1);
      WriteSetting(key, ShortestText(columnWidth(i) / divisor));
    }
  });
}

void SelectComboText(QComboBox* combo, const QString& text) {
  if (!combo) return;
  for (int i = combo->count() - 1; i >= 0; --i) {
    if (combo->itemText(i) == text) {
      combo->setCurrentIndex(i);
      return;
    }
  }
}

}  // namespace varn
