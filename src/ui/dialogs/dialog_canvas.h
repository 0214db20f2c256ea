#pragma once
// What the three settings dialogs share: a modeless window owned by the main
// window, with the main window's icon and the default UI font, the textured
// background of the program with captions painted on it, Enter as OK and
// Escape as Cancel, and the message boxes it shows over itself.

#include <QMessageBox>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace varn {

struct PaintedLabel {
  QRect rect;  // pixels in the window
  QString text;
};

class DialogCanvas : public QWidget {
 public:
  using BoxFunction = std::function<QMessageBox::StandardButton(
      const QString& text, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
      const QString& caption, QWidget* owner)>;

  // A top-level window over `owner` (it stays above it and closes with it),
  // deleted when closed, so every opening starts from the stored values.
  // applySettings: the main window's GetMiscSetting, run once OK stored.
  DialogCanvas(QWidget* owner, std::function<void()> applySettings);

  // A caption painted on the background (see DrawLabel).
  void AddLabel(const QRect& pixels, const QString& text);
  const std::vector<PaintedLabel>& Labels() const { return labels_; }

  // The OK and Cancel of the button bar (1 and 0), Enter and Escape.
  void ButtonClicked(int index);
  virtual void OkClicked() = 0;
  virtual void CancelClicked() { close(); }

  // OK's common course: runs `store`; when it says to stay (false) the
  // dialog stays open; an error in it shows "入力値が不正です" and the dialog
  // stays open with the keys stored before the error. Otherwise the dialog
  // hides, the settings apply and the dialog closes.
  void Confirm(const std::function<bool()>& store);
  bool Confirmed() const { return confirmed_; }

  // Shows a message box centred over the dialog; tests put in one that
  // records the text instead of waiting for a button.
  BoxFunction showBox;
  void ShowBox(const QString& text, QMessageBox::Icon icon, const QString& caption);
  // The box of an input the dialog cannot store ("入力値が不正です"), with
  // the reason on a line of its own.
  void ShowInvalidInput(const std::string& reason);

  // Enter on `control` confirms the dialog instead of acting on the control
  // (a check box would toggle).
  void EnterMeansOk(QWidget* control);

  // Room the controls and labels need, plus a margin: the window's size.
  void FitToContents(int marginPixels);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> applySettings_;
  std::vector<PaintedLabel> labels_;
  bool confirmed_ = false;
};

// The text of the box for an error while storing a dialog's values.
inline constexpr const char* kInvalidInputText = "入力値が不正です";

}  // namespace varn
