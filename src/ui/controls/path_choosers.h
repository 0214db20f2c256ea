#pragma once
// The folder and file choosers a path box opens: the program's own
// (BrowseFolder and ChooseFile) unless a host or a test hands in others.

#include <QString>
#include <functional>

class QWidget;

namespace varn {

// (start folder, prompt, owner) -> the chosen folder, "" when cancelled.
using FolderChooser =
    std::function<QString(const QString& initialFolder, const QString& prompt, QWidget* owner)>;
// (owner, save dialog, "description|pattern|..." filter, start folder,
// proposed name, flags or -1) -> the chosen file, "" when cancelled.
using FileChooser =
    std::function<QString(QWidget* owner, bool saveMode, const QString& filter,
                          const QString& initialFolder, const QString& initialName, int flags)>;

// The choosers new path boxes start with; an empty one puts back the
// program's own.
void SetPathChoosers(FolderChooser folder, FileChooser file);
FolderChooser DefaultFolderChooser();
FileChooser DefaultFileChooser();

}  // namespace varn
