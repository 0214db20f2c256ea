// The path box's browse button: which chooser opens where, with which
// filter, and what a choice or a cancel does to the text and the events.

#include "ui/controls/uc_path_text.h"

#include <gtest/gtest.h>

#include "qstring_print.h"
#include "ui/controls/uc_buttons.h"
#include "widget_input.h"

namespace varn {
namespace {

class UCPathTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box.browseFolder = [this](const QString& start, const QString&, QWidget*) {
      ++opened;
      startFolder = start;
      return answer;
    };
    box.chooseFile = [this](QWidget*, bool save, const QString& f, const QString& start,
                            const QString& name, int) {
      ++opened;
      saveMode = save;
      filter = f;
      startFolder = start;
      proposed = name;
      return answer;
    };
    box.onSelectButtonClicked = [this] { ++raised; };
  }

  UC_PathText box;
  QString answer, startFolder, filter, proposed;
  bool saveMode = false;
  int opened = 0;
  int raised = 0;
};

TEST_F(UCPathTextTest, FolderModeStartsAtTheTextsFolderAndTakesTheChoice) {
  box.SetUsage(0);
  box.SetText("/srv/varn/varn_data/");
  answer = "/media/archive/";
  box.SelectButtonClick();
  EXPECT_EQ(startFolder, "/srv/varn/varn_data");
  EXPECT_EQ(box.Text(), "/media/archive/");
  EXPECT_EQ(raised, 1);
  box.SetInitDir("/home/op");
  box.SelectButtonClick();
  EXPECT_EQ(startFolder, "/home/op");
}

TEST_F(UCPathTextTest, CancelChangesNothingAndRaisesNothing) {
  box.SetUsage(1);
  box.SetText("/rec/take.wav");
  int changes = 0;
  box.onTextChange = [&] { ++changes; };
  box.SelectButtonClick();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(box.Text(), "/rec/take.wav");
  EXPECT_EQ(raised, 0);
  EXPECT_EQ(changes, 0);
}

TEST_F(UCPathTextTest, ExtAloneMakesTheFilterAndTheExtension) {
  box.SetUsage(2);
  box.SetExt("wav");
  box.SetText("/rec/old.wav");
  answer = "/rec/new";
  box.SelectButtonClick();
  EXPECT_TRUE(saveMode);
  EXPECT_EQ(filter, "wavファイル|*.wav");
  EXPECT_EQ(proposed, "/rec/old.wav");
  EXPECT_EQ(box.Text(), "/rec/new.wav");
  box.SetFilter("MP3|*.mp3");  // a set filter wins over Ext
  box.SelectButtonClick();
  EXPECT_EQ(filter, "MP3|*.mp3");
  EXPECT_EQ(raised, 2);
}

TEST_F(UCPathTextTest, NoBrowsingOnlyRaisesAndTheButtonClicks) {
  box.SetUsage(-1);
  box.resize(300, 24);
  test::Click(*box.BrowseButton(), {5, 5});
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(raised, 1);
  box.SetButtonDisabled(true);
  test::Click(*box.BrowseButton(), {5, 5});
  EXPECT_EQ(raised, 1);
}

}  // namespace
}  // namespace varn
