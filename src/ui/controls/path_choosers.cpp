#include "ui/controls/path_choosers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace varn {

namespace {

QString StandardFolder(const QString& initialFolder, const QString& prompt, QWidget* owner) {
  const QString start = initialFolder.isEmpty() ? QDir::currentPath() : initialFolder;
  QString chosen = QFileDialog::getExistingDirectory(owner, prompt, start);
  // Folders come back with their separator, as every folder setting keeps it.
  if (!chosen.isEmpty() && !chosen.endsWith('/')) chosen += '/';
  return chosen;
}

QString StandardFile(QWidget* owner, bool saveMode, const QString& filter,
                     const QString& initialFolder, const QString& initialName, int) {
  const QString start = initialName.isEmpty()
                            ? initialFolder
                            : QDir(initialFolder).filePath(QFileInfo(initialName).fileName());
  const QString qtFilter = QtFileFilter(filter);
  return saveMode ? QFileDialog::getSaveFileName(owner, QString(), start, qtFilter)
                  : QFileDialog::getOpenFileName(owner, QString(), start, qtFilter);
}

FolderChooser& FolderSlot() {
  static FolderChooser chooser = StandardFolder;
  return chooser;
}

FileChooser& FileSlot() {
  static FileChooser chooser = StandardFile;
  return chooser;
}

}  // namespace

void SetPathChoosers(FolderChooser folder, FileChooser file) {
  FolderSlot() = folder ? std::move(folder) : FolderChooser(StandardFolder);
  FileSlot() = file ? std::move(file) : FileChooser(StandardFile);
}

FolderChooser DefaultFolderChooser() { return FolderSlot(); }
FileChooser DefaultFileChooser() { return FileSlot(); }

QString QtFileFilter(const QString& pipeFilter) {
  const QStringList parts = pipeFilter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    if (parts[i].isEmpty() && (i + 1 >= parts.size() || parts[i + 1].isEmpty())) continue;
    if (i + 1 < parts.size() && !parts[i + 1].isEmpty())
      filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    else
      filters << parts[i];
  }
  return filters.join(";;");
}

}  // namespace varn
