#include "ui/dialogs/dialog_layout.h"

#include <QLineEdit>
#include <algorithm>

#include "ui/twips.h"

namespace varn {

int WidestText(const QWidget* window, const QStringList& texts) {
  const QFontMetrics metrics(window->font());
  int widest = 0;
  for (const QString& t : texts) widest = std::max(widest, metrics.horizontalAdvance(t));
  return widest;
}

int FieldLeftAfterLabel(int labelWidth) {
  // DrawLabel keeps 90 twips between a left caption and its field; one more
  // pixel absorbs the rounding of the twips.
  return kDialogMargin + labelWidth + (90 + TwipsPerPixel() - 1) / TwipsPerPixel() + 1;
}

int TextBoxHeight(const QWidget* window) {
  QLineEdit probe;
  probe.setFont(window->font());
  return probe.sizeHint().height();
}

}  // namespace varn
