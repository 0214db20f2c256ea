#pragma once
// The program's own multi-column list: a row of column tabs above rows of
// values, both owner-drawn, with the program's sliders as scroll bars. Row 0
// is at the top. Geometry the hosts see (row height, column widths, Left,
// Width, Height) is in twips.
//
// The wheel is left to the window: the list never takes a wheel event, so
// the window's wheel registry sees every notch and scrolls the list with
// VBarScroll, only while the pointer is over it.

#include <QString>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/controls/list_rows.h"

namespace varn {

// Pixels per arrow click or key when the list scrolls sideways, and left and
// right of a cell's text.
inline constexpr int kListHScrollStep = 20;
inline constexpr int kListCellPadding = 4;

class UC_Slider;

class UC_ListView : public QWidget {
 public:
  explicit UC_ListView(QWidget* parent = nullptr);

  // Set before Init.
  int NumData() const { return rows_.NumData(); }
  void SetNumData(int columns);
  int NumAux() const { return rows_.NumAux(); }
  void SetNumAux(int count) { rows_.SetNumAux(count); }
  // 1: the scroll bars are the program's sliders. They always are; the
  // switch is kept for the hosts.
  int UseUCBar() const { return useUCBar_; }
  void SetUseUCBar(int use) { useUCBar_ = use; }
  bool HbarDisabled() const { return hbarDisabled_; }
  void SetHbarDisabled(bool disabled);
  bool VbarDisabled() const { return vbarDisabled_; }
  void SetVbarDisabled(bool disabled);
  // Row height, twips; InitTab raises it to fit the font.
  int OneHeight() const { return oneHeight_; }
  void SetOneHeight(int twips);
  // Rows per wheel notch.
  int NumWheelScroll() const { return numWheelScroll_; }
  void SetNumWheelScroll(int rows) { numWheelScroll_ = rows; }

  // Look.
  bool UseMadara() const { return useMadara_; }  // striped rows
  void SetUseMadara(bool striped);
  int SelectedColor() const { return selectedColor_; }  // 0x00BBGGRR
  void SetSelectedColor(int bgr);
  // 0: the selected row is filled with SelectedColor (white text); 1: only
  // its text takes the colour.
  int SelectedColorMode() const { return selectedColorMode_; }
  void SetSelectedColorMode(int mode);
  int VLineColor() const { return vLineColor_; }
  void SetVLineColor(int bgr);
  // A cell whose text is cut shows all of it as a tool tip.
  bool ShowToolTip() const { return showToolTip_; }
  void SetShowToolTip(bool show) { showToolTip_ = show; }

  // Behaviour switches.
  bool IconDisabled() const { return iconDisabled_; }  // no icon column is drawn in any case
  void SetIconDisabled(bool disabled) { iconDisabled_ = disabled; }
  bool SortDisabled() const { return sortDisabled_; }  // a tab click does not sort
  void SetSortDisabled(bool disabled) { sortDisabled_ = disabled; }
  bool ClickDisabled() const { return clickDisabled_; }  // a click selects no row
  void SetClickDisabled(bool disabled) { clickDisabled_ = disabled; }
  bool TabDisabled() const { return tabDisabled_; }  // the tabs neither sort nor resize
  void SetTabDisabled(bool disabled) { tabDisabled_ = disabled; }
  // Sorting compares numbers instead of texts.
  bool DataNumeric() const { return dataNumeric_; }
  void SetDataNumeric(bool numeric) { dataNumeric_ = numeric; }
  // The column the rows were last sorted by (-1 none) and whether downwards.
  int OrderData() const { return orderData_; }
  bool OrderInverted() const { return orderInverted_; }

  // Builds the parts from the properties; call after setting them.
  void Init();
  // Builds NumData column tabs and fits the row height to the font.
  void InitTab();

  // Column tabs.
  QString TabName(int column) const;
  void SetTabName(int column, const QString& caption);
  // Twips, including the user's drags of the tab borders.
  int TabWidth(int column) const;
  void SetTabWidth(int column, int twips);
  // 0 left, 1 right, 2 centre.
  int TabAlign(int column) const;
  void SetTabAlign(int column, int align);
  bool TabHidden(int column) const;
  void SetTabHidden(int column, bool hidden);
  // Widens or narrows a column to its widest text.
  void SetTabWidthAuto(int column);
  // -1: every tab; otherwise that tab.
  void ReDrawTab(int column);

  // Rows.
  int ItemCount() const { return rows_.Count(); }
  int TopItem() const;
  void SetTopItem(int row) { VBarMove(row); }
  int SelectedItem() const { return rows_.Selected(); }
  void SetSelectedItem(int row);
  bool IsSelected(int row) const { return row >= 0 && row == rows_.Selected(); }
  int NumSelectedItems() const { return rows_.Selected() >= 0 ? 1 : 0; }
  QVariant SelectedData(int column) const { return rows_.Value(-1, column); }
  // Row -1: the selected row; outside the data: empty, or nothing is set.
  QVariant Value(int row, int column) const { return rows_.Value(row, column); }
  void SetValue(int row, int column, const QVariant& value);
  int DispColor(int row) const;
  void SetDispColor(int row, int bgr);
  bool HLine(int row) const;
  void SetHLine(int row, bool line);
  int IconType(int row) const;
  void SetIconType(int row, int type);
  QVariant AuxID(int row, int index) const;
  void SetAuxID(int row, int index, const QVariant& value);

  int AddItem();
  // pNum empty rows (0 means 1) before pIndex (-1: at the selected row).
  void InsertItem(int pIndex, int pNum = 0);
  // Row pIndex (-1: the selected row).
  void DeleteItem(int pIndex);
  void DeleteAll();
  void DeleteSelected() { DeleteItem(-1); }
  void UnSelectAll() { SetSelectedItem(-1); }
  void ExchangeItem(int a, int b);
  // Sorts by a column (as a tab click does).
  void ReOrder(int column, bool inverted);

  // Drawing and scrolling.
  void ReDraw();
  // New vertical range from the row count, both bars back to 0, then the
  // rows and every tab drawn again.
  void Refresh();
  // Recomputes both bars' ranges from rows, columns and size.
  void SetVbarParm();
  void VBarMove(int value);
  // Notches x NumWheelScroll rows, clamped, while the vertical bar shows.
  void VBarScroll(int pValue);
  void HBarMove(int value);
  void HBarScroll(int notches);
  void ShowItem(int row);
  void ShowSelected() { ShowItem(SelectedItem()); }

  // Placement in the window, twips.
  int Left() const;
  void SetLeft(int twips);
  int Top() const;
  void SetTop(int twips);
  int Width() const;
  void SetWidth(int twips);
  int Height() const;
  void SetHeight(int twips);

  // The parts, pixels.
  UC_Slider* VBar() { return vbar_; }
  UC_Slider* HBar() { return hbar_; }
  bool VBarShown() const { return vbarShown_; }
  bool HBarShown() const { return hbarShown_; }
  int RowHeightPixels() const;
  int VisibleRows() const;
  QRect HeaderRect() const;
  QRect BodyRect() const;
  // A column's left edge and width on the list, after horizontal scrolling.
  QRect ColumnRect(int column) const;
  // The row (or column) under a point of the list, -1 for none.
  int RowAt(QPoint point) const;
  int ColumnAt(int x) const;
  // The column whose right border is under x in the tab row, -1 for none.
  int TabBorderAt(QPoint point) const;

  // The user dragged a tab border: the column and its new width (twips).
  std::function<void(int column, int widthTwips)> onTabMoved;
  // The rows were sorted by a tab click.
  std::function<void(int column)> onTabReOrderd;
  // A mouse button went down on a row (button 1 left, 2 right, 4 middle;
  // shift 1 Shift, 2 Ctrl, 4 Alt); row and column -1 outside them.
  std::function<void(int button, int shift, int row, int column)> onMouseDown;
  // A left click on a row.
  std::function<void(int row, int column)> onClicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Column {
    QString name;
    int widthTwips = 1200;
    int align = 0;
    bool hidden = false;
  };

  int ColumnPixels(int column) const;
  int TotalColumnPixels() const;
  QRect Inner() const;
  void LayOut();
  void PaintTabs(QPainter& painter) const;
  void PaintRows(QPainter& painter) const;
  QString CellText(int row, int column) const;
  void DragTabTo(int column, int x);

  ListRows rows_;
  std::vector<Column> columns_;
  UC_Slider* vbar_;
  UC_Slider* hbar_;
  bool vbarShown_ = false;
  bool hbarShown_ = false;

  int useUCBar_ = 1;
  bool hbarDisabled_ = false;
  bool vbarDisabled_ = false;
  int oneHeight_ = 255;
  int numWheelScroll_ = 3;
  bool useMadara_ = false;
  int selectedColor_ = 0xD77800;  // a clear blue
  int selectedColorMode_ = 0;
  int vLineColor_ = 0xD8D8D8;
  bool showToolTip_ = true;
  bool iconDisabled_ = false;
  bool sortDisabled_ = false;
  bool clickDisabled_ = false;
  bool tabDisabled_ = false;
  bool dataNumeric_ = false;
  int orderData_ = -1;
  bool orderInverted_ = false;

  int draggedTab_ = -1;  // the column whose border is being dragged
};

}  // namespace varn
