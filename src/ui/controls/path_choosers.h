#pragma once
// The folder and file choosers a path box opens. They come from outside so
// that the program can hand in its own choosers and tests can answer for
// the user; without them Qt's standard dialogs are used.

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
// standard dialog.
void SetPathChoosers(FolderChooser folder, FileChooser file);
FolderChooser DefaultFolderChooser();
FileChooser DefaultFileChooser();

// "wavファイル|*.wav|すべて|*.*" as Qt writes filters:
// "wavファイル (*.wav);;すべて (*.*)". A description without pattern stands
// alone.
QString QtFileFilter(const QString& pipeFilter);

}  // namespace varn
