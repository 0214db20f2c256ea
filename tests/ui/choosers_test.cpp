// The folder and file choosers: how the program's start folder, filter and
// flag rules become a file dialog, and a real chooser answered as a user would.

#include "ui/services/choosers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "support/temp_dir.h"

namespace varn {
namespace {

TEST(Choosers, FiltersArePairsOfDescriptionAndPatterns) {
  EXPECT_EQ(NameFiltersFromPairs("wavファイル|*.wav"), QStringList{"wavファイル (*.wav)"});
  EXPECT_EQ(NameFiltersFromPairs("音声|*.wav;*.mp3|すべて|*.*"),
            (QStringList{"音声 (*.wav *.mp3)", "すべて (*.*)"}));
  EXPECT_TRUE(NameFiltersFromPairs("").isEmpty());
  EXPECT_TRUE(NameFiltersFromPairs("説明だけ").isEmpty());
}

TEST(Choosers, StartFolderPromptAndFlagsFollowTheRules) {
  EXPECT_EQ(FolderChooserSetup("/tmp/rec/", "").directory, "/tmp/rec");
  EXPECT_EQ(FolderChooserSetup("/", "").directory, "/");
  EXPECT_EQ(FolderChooserSetup("", "").directory, QDir::currentPath());
  EXPECT_EQ(FolderChooserSetup("", "").title, "フォルダを選択してください");
  EXPECT_EQ(FolderChooserSetup("", "録音先").title, "録音先");

  const ChooserSetup save = FileChooserSetup(true, "", "/tmp/", "a.wav", -1);
  EXPECT_EQ(save.acceptMode, QFileDialog::AcceptSave);
  EXPECT_FALSE(save.options.testFlag(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(save.directory, "/tmp");
  EXPECT_EQ(save.selectedName, "a.wav");
  EXPECT_EQ(FileChooserSetup(false, "", "", "", -1).fileMode, QFileDialog::ExistingFile);
  // The caller's own flags: no overwrite prompt, no must-exist.
  EXPECT_TRUE(
      FileChooserSetup(true, "", "", "", 0).options.testFlag(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(FileChooserSetup(false, "", "", "", 0x80000).fileMode, QFileDialog::AnyFile);
}

TEST(Choosers, BrowseFolderGivesTheChosenFolderWithOneSeparatorOrNothing) {
  test::TempDir dir;
  QDir(QString::fromStdString(dir.Path())).mkdir("ch1");
  QString startedIn;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    startedIn = dialog->directory().absolutePath();
    dialog->selectFile(QString::fromStdString(dir / "ch1"));
    static_cast<QDialog*>(dialog)->accept();  // as the Choose button does
  });
  EXPECT_EQ(BrowseFolder(dir.Path(), "", nullptr), dir / "ch1/");
  EXPECT_EQ(startedIn + "/", QString::fromStdString(dir.Path()));

  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->reject();
  });
  EXPECT_EQ(BrowseFolder(dir.Path(), "", nullptr), "");
}

}  // namespace
}  // namespace varn
