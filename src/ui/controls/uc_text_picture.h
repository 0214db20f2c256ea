#pragma once
// An owner-drawn text label on the window's own background. It can be cut
// into cells side by side, each with its text and colour set, and reports
// presses and releases of the mouse per cell.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

namespace varn {

class UC_TextPicture : public QWidget {
 public:
  // A colour that is not drawn: the window shows through.
  static constexpr int kTransparent = -1;

  explicit UC_TextPicture(QWidget* parent = nullptr);

  // Back to one empty cell across the label and the standard colour set.
  void ResetMe();

  // Colour sets, 0x00BBGGRR; set 0 is the standard one (black on the
  // window). Each call returns the new set's number.
  int AddColorSet(int fore, int back = kTransparent);
  int AddStdColorSet() { return AddColorSet(0x000000, kTransparent); }
  // The colours of every cell.
  void SetColor(int fore, int back = kTransparent);
  // Cell `cell` uses colour set `colorSet`.
  void SetColorEx(int cell, int colorSet);

  // Appends a cell `widthTwips` wide (0: shares the room the others leave)
  // and returns its number.
  int AddTextSpace(int widthTwips);
  int NumCells() const { return static_cast<int>(cells_.size()); }

  // Shows `text` in a cell, optionally switching its colour set.
  void DispMes(const QString& text, int cell = 0, int colorSet = -1);
  QString TextMes(int cell = 0) const;
  void Draw() { update(); }

  float FontSize() const { return fontSize_; }
  void SetFontSize(float points);
  bool FontBold() const { return fontBold_; }
  void SetFontBold(bool bold);
  // Horizontal placement of the texts.
  Qt::Alignment TextAlignment() const { return alignment_; }
  void SetTextAlignment(Qt::Alignment alignment);

  bool UseClick() const { return useClick_; }
  void SetUseClick(bool use) { useClick_ = use; }
  bool UseDblClick() const { return useDblClick_; }
  void SetUseDblClick(bool use) { useDblClick_ = use; }
  // Ignores the mouse and drops altogether.
  bool Locked() const { return locked_; }
  void SetLocked(bool locked) { locked_ = locked; }
  // Flat: no sunken edge around the label.
  bool IsFlat() const { return flat_; }
  void SetIsFlat(bool flat);

  // The cell under x (pixels).
  int CellAt(int x) const;
  QRect CellRect(int cell) const;

  // MouseUD (cell, down flag: -1 pressed, 0 released, mouse button: 1 left,
  // 2 right, 4 middle), while UseClick.
  std::function<void(int cell, int downFlag, int button)> onMouseUD;
  // A double click on a cell, while UseDblClick.
  std::function<void(int cell)> onDblClicked;
  // Files (local paths) or text dropped on the label; drops are accepted
  // only while this is set.
  std::function<void(const QStringList& dropped)> onOLEDragDrop;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct ColorSet {
    int fore;
    int back;
  };
  struct Cell {
    QString text;
    int widthTwips = 0;
    int colorSet = 0;
  };

  void MouseUD(QMouseEvent* event, int downFlag);

  std::vector<ColorSet> colorSets_;
  std::vector<Cell> cells_;
  float fontSize_ = 9;
  bool fontBold_ = false;
  Qt::Alignment alignment_ = Qt::AlignLeft;
  bool useClick_ = true;
  bool useDblClick_ = true;
  bool locked_ = false;
  bool flat_ = true;
};

// The mouse button as the events number it: 1 left, 2 right, 4 middle.
int MouseButtonNumber(Qt::MouseButton button);

}  // namespace varn
