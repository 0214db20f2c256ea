#include "ui/services/choosers.h"

#include <QDir>

#include "settings/folders.h"
#include "util/error_catch.h"
#include "util/text.h"

namespace varn {

namespace {

QString ToQ(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The start folder of both choosers: without the trailing separator, except
// the root, which would otherwise become the current folder.
QString StartFolder(std::string_view initialFolder) {
  if (TrimBlanks(initialFolder).empty()) return QDir::currentPath();
  if (TrimBlanks(initialFolder) == "/") return "/";
  return ToQ(NormaliseFolder(initialFolder, true));
}

}  // namespace

QStringList NameFiltersFromPairs(std::string_view filter) {
  QStringList filters;
  const QStringList parts = ToQ(filter).split('|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    patterns.removeAll(QString());
    if (patterns.isEmpty()) continue;
    filters << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

ChooserSetup FolderChooserSetup(std::string_view initialFolder, std::string_view prompt) {
  ChooserSetup s;
  s.title = TrimBlanks(prompt).empty() ? QString::fromUtf8(kBrowseFolderPrompt) : ToQ(prompt);
  s.directory = StartFolder(initialFolder);
  s.fileMode = QFileDialog::Directory;
  // Only folders of the file system, and the user may make a new one there.
  s.options = QFileDialog::ShowDirsOnly;
  return s;
}

ChooserSetup FileChooserSetup(bool saveMode, std::string_view filter,
                              std::string_view initialFolder, std::string_view initialName,
                              int flags) {
  if (flags == kChooserDefaultFlags) flags = saveMode ? kChooserSaveFlags : kChooserOpenFlags;
  ChooserSetup s;
  s.directory = TrimBlanks(initialFolder).empty() ? QString() : StartFolder(initialFolder);
  s.selectedName = ToQ(initialName);
  s.nameFilters = NameFiltersFromPairs(filter);
  s.acceptMode = saveMode ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen;
  s.fileMode = (!saveMode && (flags & kChooserFileMustExist)) ? QFileDialog::ExistingFile
                                                              : QFileDialog::AnyFile;
  if (saveMode && !(flags & kChooserOverwritePrompt))
    s.options |= QFileDialog::DontConfirmOverwrite;
  return s;
}

std::string RunChooser(const ChooserSetup& setup, QWidget* owner) {
  return Trapped(std::string(), [&] {
    QFileDialog dialog(owner, setup.title, setup.directory);
    dialog.setAcceptMode(setup.acceptMode);
    dialog.setFileMode(setup.fileMode);
    dialog.setOptions(setup.options);
    if (!setup.nameFilters.isEmpty()) dialog.setNameFilters(setup.nameFilters);
    if (!setup.selectedName.isEmpty()) dialog.selectFile(setup.selectedName);
    if (dialog.exec() != QDialog::Accepted) return std::string();
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::string();
    const std::string path = chosen.front().toStdString();
    return path.substr(0, path.find('\0'));
  });
}

std::string BrowseFolder(std::string_view initialFolder, std::string_view prompt, QWidget* owner) {
  const std::string chosen = RunChooser(FolderChooserSetup(initialFolder, prompt), owner);
  return chosen.empty() ? std::string() : NormaliseFolder(chosen, false);
}

std::string ChooseFile(QWidget* owner, bool saveMode, std::string_view filter,
                       std::string_view initialFolder, std::string_view initialName, int flags) {
  return RunChooser(FileChooserSetup(saveMode, filter, initialFolder, initialName, flags), owner);
}

}  // namespace varn
