#pragma once
// Laying out dialogs at run time: rows of controls made from one designed
// row, controls placed relative to one another, captions painted on the
// window, and number fields checked, clamped, shown and stored in one step.
// Rules are in twips, the windows' own unit; one pixel is TwipsPerPixel().

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace varn {

class DialogCanvas;

// PlaceNextTo's gap for "two pixels".
inline constexpr int kDefaultGap = -1;

enum PlaceMode { kPlaceBelow = 0, kPlaceCentredBeside = 2 };
enum LabelPosition { kLabelLeft = 0, kLabelAbove = 1, kLabelRight = 2 };

// Positions `control` relative to `reference` (both children of the same
// window). kPlaceBelow: top = reference bottom + gap; kPlaceCentredBeside:
// vertically centred on the reference. With align 1 the left edge is also
// the reference's left edge; with 0 only the mode's coordinate is set.
void PlaceNextTo(QWidget* control, const QWidget* reference, int mode, int gapTwips = kDefaultGap,
                 int align = 1);

// Copies what makes a row element look and behave like the designed one.
void CopyControlDesign(const QWidget& from, QWidget& to);

// Makes element `index` of a control array (index == array.size() >= 1) in
// the same container as element index - 1, shaped like it, placed two pixels
// below it, left-aligned, next in the tab order, and shown or hidden.
template <class Control>
Control* AddControlRow(std::vector<Control*>& array, int index, bool visible) {
  static_assert(std::is_base_of_v<QWidget, Control>);
  if (index < 1 || static_cast<size_t>(index) != array.size()) return nullptr;
  Control* previous = array[static_cast<size_t>(index) - 1];
  auto* control = new Control(previous->parentWidget());
  CopyControlDesign(*previous, *control);
  array.push_back(control);
  PlaceNextTo(control, previous, kPlaceBelow, kDefaultGap, 1);
  QWidget::setTabOrder(previous, control);
  control->setVisible(visible);
  return control;
}

// Where DrawLabel puts text of textSize (pixels) next to a control whose
// geometry is `control` (pixels): the top left corner of the text, from the
// rules in twips.
QPoint LabelTopLeft(const QRect& control, const QSize& textSize, int position, int dxTwips = 0,
                    int dyTwips = 0);

// Paints `text` on the window beside `control` with the window's font:
// left of it, above it or right of it (LabelPosition).
void DrawLabel(DialogCanvas* window, const QWidget* control, const QString& text, int position,
               int dxTwips = 0, int dyTwips = 0);

// Stores a number field: nothing happens when its text is not numeric;
// otherwise the clamped value, formatted with `decimals`, goes back into the
// field and under `key`. True when something was stored.
bool StoreNumericText(QLineEdit* textBox, double minimum, double maximum, int decimals,
                      std::string_view key);

// "TabWidth_" + prefix + (i + offset + 1) = width of column i / divisor, for
// every column. A divisor of 0 stores nothing.
void SaveColumnWidths(int columnCount, const std::function<double(int)>& columnWidth,
                      std::string_view prefix, int offset, double divisor);
// The same for a list control with NumData() columns and TabWidth(i).
template <class List>
void SaveColumnWidths(const List& list, std::string_view prefix, int offset, double divisor) {
  SaveColumnWidths(
      list.NumData(), [&](int i) { return static_cast<double>(list.TabWidth(i)); }, prefix, offset,
      divisor);
}

// Selects the entry whose text is exactly `text` (the last of several);
// with none the selection stays as it was.
void SelectComboText(QComboBox* combo, const QString& text);

}  // namespace varn
