#pragma once
// An owner-drawn slider, used as the list's scroll bars: a track with a
// thumb (the pointer) and, unless NoArrow, an arrow button at each end.
// Value runs from Min to Max; a bigger value is further right or down.

#include <QTimer>
#include <QWidget>
#include <functional>

namespace varn {

class UC_Slider : public QWidget {
 public:
  explicit UC_Slider(QWidget* parent = nullptr);

  bool IsVertical() const { return vertical_; }
  void SetIsVertical(bool vertical);
  bool NoArrow() const { return noArrow_; }
  void SetNoArrow(bool noArrow);
  // No edge around the track.
  bool Disabletrim() const { return noTrim_; }
  void SetDisabletrim(bool noTrim);
  // The user cannot move it; code still can.
  bool RefuseInput() const { return refuseInput_; }
  void SetRefuseInput(bool refuse) { refuseInput_ = refuse; }
  // A line along the middle of the track.
  bool CenterLined() const { return centerLined_; }
  void SetCenterLined(bool lined);
  // Plain colours instead of the colour runs.
  bool NoGrad() const { return noGrad_; }
  void SetNoGrad(bool plain);

  int SmallChange() const { return smallChange_; }
  void SetSmallChange(int step) { smallChange_ = step; }
  int LargeChange() const { return largeChange_; }
  void SetLargeChange(int step) { largeChange_ = step; }
  // The thumb's length in value units (a page, for a scroll bar); 0 gives a
  // square thumb.
  int PointerSize() const { return pointerSize_; }
  void SetPointerSize(int size);

  // Min is kept at or below Max; Value is kept between them. Setting them
  // raises no event.
  int Min() const { return min_; }
  void SetMin(int min);
  int Max() const { return max_; }
  void SetMax(int max);
  int Value() const { return value_; }
  void SetValue(int value);

  // Draws it afresh after its properties were set.
  void Init() { update(); }

  // The user moved it (arrow, track, thumb, key).
  std::function<void()> onScrolled;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  enum class Part { None, LowArrow, HighArrow, LowTrack, HighTrack, Thumb };

  int Length() const { return vertical_ ? height() : width(); }
  int Thickness() const { return vertical_ ? width() : height(); }
  int ArrowLength() const;
  // The thumb's start and length along the track, pixels.
  int ThumbLength() const;
  int ThumbStart() const;
  QRect AlongRect(int start, int length) const;
  Part PartAt(QPoint point) const;
  void UserSets(int value);
  void Repeat();

  bool vertical_ = true;
  bool noArrow_ = false;
  bool noTrim_ = false;
  bool refuseInput_ = false;
  bool centerLined_ = false;
  bool noGrad_ = false;
  int smallChange_ = 1;
  int largeChange_ = 10;
  int pointerSize_ = 0;
  int min_ = 0;
  int max_ = 100;
  int value_ = 0;

  Part pressed_ = Part::None;
  int dragOffset_ = 0;  // pointer position inside the thumb while dragging
  QTimer repeat_;       // held arrow or track keeps stepping
};

}  // namespace varn
