#pragma once
// A channel's level figures box: the highest and lowest levels of each side
// since the channel started, value cells 0..3 with their captions in cells
// 4..7 ("Max L :" labels value cell 0, and so on).

#include <QFont>
#include <QString>
#include <QWidget>
#include <array>

namespace varn {

class RepaintPacer;

class LevelFigures : public QWidget {
 public:
  explicit LevelFigures(QWidget* parent = nullptr);

  // The figures' and captions' family; empty, as at first, is the UI face.
  void SetFontFamily(const QString& family);
  void SetCell(int cell, const QString& text);
  QString Cell(int cell) const { return texts_.at(static_cast<size_t>(cell)); }
  // Repaints go through `pacer` (nullptr: at once).
  void SetPacer(RepaintPacer* pacer) { pacer_ = pacer; }
  void MarkChanged();
  // The font cell `cell` is drawn in: its own size or, for a figure wider
  // than the room up to the next cell (a Min below -100 dB), the largest that
  // fits it whole.
  QFont CellFont(int cell) const;
  // Where a cell starts, pixels: its own place, or for a figure whose
  // caption runs into that place, just after the caption.
  int CellLeft(int cell) const;
  // The pixels from a cell's left edge to the next cell or the box's edge.
  int CellRoom(int cell) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<QString, 8> texts_;
  QString family_;
  RepaintPacer* pacer_ = nullptr;
};

}  // namespace varn
