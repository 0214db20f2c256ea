#pragma once
// A bar of owner-drawn push buttons side by side, on the window's own
// background. Each button is off (state 0) or on (2); a plain left click, a
// click with a modifier and a right click are told apart. The bar can turn
// itself into the dialogs' Cancel / OK pair.

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

namespace varn {

inline constexpr const char* kCancelCaption = "キャンセル";
inline constexpr const char* kOkCaption = "OK";

class UC_Buttons : public QWidget {
 public:
  // `index`: the bar's place in a row of bars (a channel's panel number),
  // handed back with every event.
  explicit UC_Buttons(QWidget* parent = nullptr, int index = 0);

  int Index() const { return index_; }
  void SetIndex(int index) { index_ = index; }

  int NumButtons() const { return static_cast<int>(buttons_.size()); }
  // Captions and states of the buttons that remain are kept.
  void SetNumButtons(int count);
  // Narrowest button, twips (0: the caption decides).
  int MimiWidth() const { return minWidthTwips_; }
  void SetMimiWidth(int twips);
  // 0 raised 3-D buttons, 1 flat ones.
  int DesignType() const { return designType_; }
  void SetDesignType(int type);
  bool Disable3D() const { return designType_ == 1; }
  void SetDisable3D(bool disable) { SetDesignType(disable ? 1 : 0); }

  // Lays the buttons out over the bar and draws them.
  void Init();
  void DrawAll() { update(); }
  void DrawButton(int button);

  bool GetButtonDisable(int button) const;
  void SetButtonDisable(int button, bool disabled);
  void SetButtonDisableAll(bool disabled);
  // Disabled buttons keep their black caption.
  bool NoGrayAtDisabled() const { return noGrayAtDisabled_; }
  void SetNoGrayAtDisabled(bool noGray);

  // 0 off, 2 on (1 counts as on as well).
  int GetButtonState(int button) const;
  void SetButtonState(int button, int state);
  bool GetButtonOn(int button) const { return GetButtonState(button) != 0; }
  void SetButtonOn(int button, bool on) { SetButtonState(button, on ? 2 : 0); }

  QString GetButtonChar(int button) const;
  void SetButtonChar(int button, const QString& caption);
  // Numbers the captions: first, first + 1, ...
  void SetButtonCharNum(int first = 1);
  QString ToolTip(int button) const;
  void SetToolTip(int button, const QString& text);

  // Two buttons, 0 "キャンセル" and 1 "OK" (swapped with okIsZero); type 1
  // makes the selected colour white; unless noSize the bar becomes
  // 2400 x 330 twips. The keyboard starts on OK.
  void SetOKCancel(bool okIsZero = false, bool noSize = false, int type = 0);

  float FontSize() const { return fontSize_; }
  void SetFontSize(float points);
  QString FontFace() const { return fontFace_; }
  void SetFontFace(const QString& face);
  bool FontBold() const { return fontBold_; }
  void SetFontBold(bool bold);
  // Caption colour of a button that is on, 0x00BBGGRR.
  int SelectedColor() const { return selectedColor_; }
  void SetSelectedColor(int bgr);
  // The button the keyboard acts on (the last one clicked), -1 for none.
  int SelectedButton() const { return selected_; }
  void SetSelectedButton(int button);

  // The button under x (pixels in the bar), -1 for none.
  int ButtonAt(int x) const;
  QRect ButtonRect(int button) const;

  // Events: (bar index, button); ShiftClicked adds the shift state (1 Shift,
  // 2 Ctrl, 4 Alt, added up) for a left click with a modifier held.
  std::function<void(int index, int button)> onButtonClicked;
  std::function<void(int index, int button)> onRightClicked;
  std::function<void(int index, int button, int shiftState)> onShiftClicked;
  std::function<void(int index, int button)> onButtonDown;
  std::function<void(int index, int button)> onHover;

  QSize sizeHint() const override;
  // 1 Shift, 2 Ctrl, 4 Alt, added up.
  static int ShiftStateOf(Qt::KeyboardModifiers modifiers);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Button {
    QString caption;
    QString toolTip;
    int state = 0;
    bool disabled = false;
  };

  bool Usable(int button) const;
  void Activate(int button, int shiftState);
  void MoveSelection(int step);
  void SetHover(int button);

  int index_;
  std::vector<Button> buttons_;
  int minWidthTwips_ = 0;
  int designType_ = 0;
  bool noGrayAtDisabled_ = false;
  float fontSize_ = 9;
  QString fontFace_;
  bool fontBold_ = false;
  int selectedColor_ = 0x800000;  // dark blue
  int selected_ = -1;
  int pressed_ = -1;
  int hover_ = -1;
};

}  // namespace varn
