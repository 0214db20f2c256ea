#pragma once
// The standard folder and file choosers, over QFileDialog. Callers speak in
// the program's terms (a start folder, a "|"-separated filter of description
// and pattern pairs, the classic chooser flag bits); the translation into a
// dialog set-up is a function of its own, so it can be checked without a
// modal dialog.

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

class QWidget;

namespace varn {

inline constexpr const char* kBrowseFolderPrompt = "フォルダを選択してください";

// The chooser flag bits callers may pass to ChooseFile.
inline constexpr int kChooserOverwritePrompt = 0x2;
inline constexpr int kChooserHideReadOnly = 0x4;
inline constexpr int kChooserNoValidate = 0x100;
inline constexpr int kChooserPathMustExist = 0x800;
inline constexpr int kChooserFileMustExist = 0x1000;
inline constexpr int kChooserExplorer = 0x80000;
// -1 asks for these: explorer style, hide read-only and overwrite prompt to
// save; explorer style, file must exist, no validation and hide read-only to open.
inline constexpr int kChooserDefaultFlags = -1;
inline constexpr int kChooserSaveFlags = 0x80006;
inline constexpr int kChooserOpenFlags = 0x81104;

struct ChooserSetup {
  QString title;
  QString directory;        // the start folder
  QString selectedName;     // the name put in the dialog's name field
  QStringList nameFilters;  // "ファイル (*.wav)"; empty for every file
  QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
  QFileDialog::FileMode fileMode = QFileDialog::ExistingFile;
  QFileDialog::Options options;
};

// "WAVファイル|*.wav|MP3|*.mp3;*.mp2" as Qt name filters: one per pair, the
// ";"-separated patterns joined by blanks. A description without a pattern
// is dropped.
QStringList NameFiltersFromPairs(std::string_view filter);

// The folder chooser: the start folder is initialFolder without its trailing
// separator ("/" stays "/"), or the current folder when it is blank; a blank
// prompt is kBrowseFolderPrompt.
ChooserSetup FolderChooserSetup(std::string_view initialFolder, std::string_view prompt);
// The open (or save) file chooser with the caller's flags, or the defaults for -1.
ChooserSetup FileChooserSetup(bool saveMode, std::string_view filter,
                              std::string_view initialFolder, std::string_view initialName,
                              int flags);

// Shows the dialog owned by `owner` and returns the chosen path, "" when
// cancelled.
std::string RunChooser(const ChooserSetup& setup, QWidget* owner);

// The chosen folder with one trailing "/", or "" when cancelled.
std::string BrowseFolder(std::string_view initialFolder, std::string_view prompt, QWidget* owner);
// The chosen file's full path, or "" when cancelled.
std::string ChooseFile(QWidget* owner, bool saveMode, std::string_view filter,
                       std::string_view initialFolder, std::string_view initialName,
                       int flags = kChooserDefaultFlags);

}  // namespace varn
