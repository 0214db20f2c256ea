#pragma once
// An owner-drawn check box (or, with IsOption, an option button) with its
// caption, on the window's own background.

#include <QString>
#include <QWidget>
#include <functional>

namespace varn {

class UC_Check : public QWidget {
 public:
  explicit UC_Check(QWidget* parent = nullptr);

  // Caption, font size and size rate resize the box to fit its caption, so
  // no caption is ever cut off; a host may still set another geometry after.
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  float FontSize() const { return fontSize_; }
  void SetFontSize(float points);
  // Scales the mark (1.0 in the dialogs).
  float SizeRate() const { return sizeRate_; }
  void SetSizeRate(float rate);

  // 0 or 1; setting it raises no event.
  int Value() const { return value_; }
  void SetValue(int value);

  // An option button: a click only turns it on.
  bool IsOption() const { return isOption_; }
  void SetIsOption(bool option);

  // A gradient handle handed on between boxes of one window. Qt paints the
  // window under each box, so there is nothing to share; kept for the hosts.
  int Gradhdc() const { return gradient_; }
  void SetGradhdc(int handle) { gradient_ = handle; }
  void SetBGPic(int leftTwips, int topTwips, QWidget* window);
  void CloseBGObj() { backgroundWindow_ = nullptr; }

  // The user changed the value (click, Space or Enter).
  std::function<void()> onClick;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int MarkSize() const;
  void UserToggles();

  QString caption_;
  float fontSize_ = 9;
  float sizeRate_ = 1;
  int value_ = 0;
  bool isOption_ = false;
  int gradient_ = 0;
  QWidget* backgroundWindow_ = nullptr;
};

}  // namespace varn
