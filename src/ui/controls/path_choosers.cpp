#include "ui/controls/path_choosers.h"

#include <utility>

#include "ui/services/choosers.h"

namespace varn {

namespace {

QString ProgramFolder(const QString& initialFolder, const QString& prompt, QWidget* owner) {
  return QString::fromStdString(
      BrowseFolder(initialFolder.toStdString(), prompt.toStdString(), owner));
}

QString ProgramFile(QWidget* owner, bool saveMode, const QString& filter,
                    const QString& initialFolder, const QString& initialName, int flags) {
  return QString::fromStdString(ChooseFile(owner, saveMode, filter.toStdString(),
                                           initialFolder.toStdString(), initialName.toStdString(),
                                           flags));
}

FolderChooser& FolderSlot() {
  static FolderChooser chooser = ProgramFolder;
  return chooser;
}

FileChooser& FileSlot() {
  static FileChooser chooser = ProgramFile;
  return chooser;
}

}  // namespace

void SetPathChoosers(FolderChooser folder, FileChooser file) {
  FolderSlot() = folder ? std::move(folder) : FolderChooser(ProgramFolder);
  FileSlot() = file ? std::move(file) : FileChooser(ProgramFile);
}

FolderChooser DefaultFolderChooser() { return FolderSlot(); }
FileChooser DefaultFileChooser() { return FileSlot(); }

}  // namespace varn
