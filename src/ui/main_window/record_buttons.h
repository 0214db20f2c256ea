#pragma once
// A channel's two-button bar: button 0 starts and stops the channel, button 1
// plays it through for listening. Each button is off (state 0) or on (2);
// a plain left click and a click with a modifier are told apart.

#include <QWidget>
#include <array>
#include <functional>

namespace varn {

class RecordButtons : public QWidget {
 public:
  explicit RecordButtons(int channel, QWidget* parent = nullptr);

  void SetState(int button, int state);
  int State(int button) const { return states_.at(static_cast<size_t>(button)); }

  // ButtonClicked (channel, button) for a plain left click; ShiftClicked
  // (channel, button, shift state: 1 Shift, 2 Ctrl, 4 Alt, summed) otherwise.
  std::function<void(int channel, int button)> onButtonClicked;
  std::function<void(int channel, int button, int shiftState)> onShiftClicked;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int ButtonAt(int x) const;

  int channel_;
  std::array<int, 2> states_{0, 0};
};

// 1 for Shift, 2 for Ctrl, 4 for Alt, added up.
int ShiftState(Qt::KeyboardModifiers modifiers);

}  // namespace varn
