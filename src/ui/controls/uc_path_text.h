#pragma once
// A text box holding a path, with a browse button at its right end that
// opens a folder or file chooser and puts the choice into the text.

#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <functional>

#include "ui/controls/path_choosers.h"

namespace varn {

class UC_Buttons;

inline constexpr const char* kBrowseCaption = "...";
// Filter made from Ext alone: Ext + "ファイル|*." + Ext.
inline constexpr const char* kExtFilterMiddle = "ファイル|*.";

enum class PathUsage : int { NoBrowsing = -1, Folder = 0, OpenFile = 1, SaveFile = 2 };

class UC_PathText : public QWidget {
 public:
  explicit UC_PathText(QWidget* parent = nullptr);

  // Lays the text box and the button out afresh.
  void Init();

  // -1 no browsing (the button only raises SelectButtonClicked), 0 folder,
  // 1 file to open, 2 file to save.
  int Usage() const { return usage_; }
  void SetUsage(int usage) { usage_ = usage; }
  float FontSize() const { return fontSize_; }
  void SetFontSize(float points);
  // The height of the text box, twips.
  int TextHeight() const;
  void SetTextHeight(int twips);

  QString Text() const { return edit_->text(); }
  void SetText(const QString& text) { edit_->setText(text); }
  bool ButtonDisabled() const { return buttonDisabled_; }
  void SetButtonDisabled(bool disabled);
  // The text can be read and copied but not typed into.
  bool TextDisabled() const { return edit_->isReadOnly(); }
  void SetTextDisabled(bool disabled) { edit_->setReadOnly(disabled); }
  // Default extension of the file modes ("wav").
  QString Ext() const { return ext_; }
  void SetExt(const QString& ext) { ext_ = ext; }
  // "description|pattern|..." of the file modes.
  QString Filter() const { return filter_; }
  void SetFilter(const QString& filter) { filter_ = filter; }
  // Start folder of the choosers; empty: the folder of the current text.
  QString InitDir() const { return initDir_; }
  void SetInitDir(const QString& folder) { initDir_ = folder; }
  // Input method mode of the text box; Linux input methods follow the user.
  int TextIMEMode() const { return imeMode_; }
  void SetTextIMEMode(int mode) { imeMode_ = mode; }

  // What the browse button does: open the chooser of the usage at the start
  // folder; a choice becomes the text and raises SelectButtonClicked, a
  // cancel changes nothing and raises nothing.
  void SelectButtonClick();

  QLineEdit* TextBox() { return edit_; }
  UC_Buttons* BrowseButton() { return button_; }

  // The choosers; they start as the process-wide ones (path_choosers.h).
  FolderChooser browseFolder;
  FileChooser chooseFile;

  std::function<void()> onSelectButtonClicked;
  std::function<void()> onTextDblClicked;
  // The text changed, by the user or by code.
  std::function<void()> onTextChange;

  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateButton();
  void LayOut();
  QString StartFolder() const;
  QString FileFilter() const;

  QLineEdit* edit_;
  UC_Buttons* button_;
  int usage_ = 0;
  float fontSize_ = 9;
  bool buttonDisabled_ = false;
  QString ext_;
  QString filter_;
  QString initDir_;
  int imeMode_ = 0;
};

}  // namespace varn
