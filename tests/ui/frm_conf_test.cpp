// The basic settings dialog driven as its user drives it: typed values are
// clamped, shown and stored, text that is not a number leaves its key alone,
// OK applies the settings once and Escape stores nothing.

#include "ui/dialogs/frm_conf.h"

#include <gtest/gtest.h>

#include "dialog_driving.h"
#include "support/dialog_store_fixture.h"
#include "ui/controls/uc_check.h"
#include "ui/controls/uc_path_text.h"

namespace varn {
namespace {

class FrmConfTest : public test::DialogStoreTest {
 protected:
  QPointer<QWidget> Open() {
    dialog = new FrmConf(nullptr, [this] {
      ++applied;
      shownAtApply = dialog->TextValue(3)->text();
    });
    test::RecordBoxes(*dialog, boxes);
    dialog->show();
    return dialog;
  }
  FrmConf* dialog = nullptr;
  int applied = 0;
  QString shownAtApply;
  std::vector<test::ShownBox> boxes;
};

TEST_F(FrmConfTest, OkClampsShowsAndStoresTheTypedValuesThenApplies) {
  Use("MaxNumX=3\n");
  const QPointer<QWidget> open = Open();
  EXPECT_EQ(dialog->windowTitle(), "基本設定");
  EXPECT_EQ(dialog->TextValue(0)->text(), "10");
  EXPECT_EQ(dialog->TextValue(3)->text(), "-20.0");
  EXPECT_EQ(dialog->TextSoundpath()->Text().toStdString(), app.Path() + "varn_data/");
  test::TypeOver(dialog->TextValue(0), "0");
  test::TypeOver(dialog->TextValue(1), "12");
  test::TypeOver(dialog->TextValue(2), "three");
  test::TypeOver(dialog->TextValue(3), "-75");
  test::TypeOver(dialog->TextSoundpath()->TextBox(), "/srv/varn/");
  ASSERT_EQ(dialog->Check(2)->Value(), 1);
  test::ClickCentre(dialog->Check(2));
  ASSERT_EQ(dialog->Check(3)->Value(), 0);
  test::ClickCentre(dialog->Check(3));
  ASSERT_EQ(dialog->Check(4)->Value(), 1);  // 警報表示 is on at first
  test::ClickCentre(dialog->Check(4));
  QTest::keyClick(dialog->TextValue(3), Qt::Key_Return);

  EXPECT_EQ(Stored("TimerUpdateInt"), "1");
  EXPECT_EQ(Stored("NumRec"), "8");
  EXPECT_EQ(Stored("MaxNumX"), "3");  // not a number: left alone
  EXPECT_EQ(Stored("VULevelTrim"), "-60.0");
  EXPECT_EQ(shownAtApply, "-60.0");
  EXPECT_EQ(Stored("Soundpath"), "/srv/varn/");
  EXPECT_EQ(Stored("ShowChName"), "0");
  EXPECT_EQ(Stored("ShowRecButton"), "1");
  EXPECT_EQ(Stored("LoudnessView"), "1");
  EXPECT_EQ(Stored("AlarmView"), "0");
  EXPECT_EQ(applied, 1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(test::Gone(open));
}

TEST_F(FrmConfTest, ADataFolderLongerThanItsKeyHoldsIsRefusedAndNothingIsStored) {
  const QPointer<QWidget> open = Open();
  test::TypeOver(dialog->TextValue(1), "5");
  const std::string tooLong = "/srv/" + std::string(295, 'd');
  dialog->TextSoundpath()->SetText(QString::fromStdString(tooLong));
  test::ClickBarButton(dialog->OKCancelButtons(), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.toStdString(),
            "入力値が不正です\nSoundpath holds at most 254 bytes; this value has 300");
  EXPECT_EQ(Stored("NumRec"), "1");  // the default, written back when the dialog read it
  EXPECT_EQ(Stored("Soundpath"), app.Path() + "varn_data/");
  EXPECT_EQ(applied, 0);
  EXPECT_FALSE(test::Gone(open));  // still open, to put it right
  dialog->close();
}

TEST_F(FrmConfTest, EscapeAndCancelStoreNothing) {
  QPointer<QWidget> open = Open();
  test::TypeOver(dialog->TextValue(1), "5");
  QTest::keyClick(dialog->TextValue(1), Qt::Key_Escape);
  EXPECT_TRUE(test::Gone(open));
  open = Open();
  EXPECT_EQ(dialog->TextValue(1)->text(), "1");  // a new opening reads the store again
  test::TypeOver(dialog->TextValue(1), "5");
  test::ClickBarButton(dialog->OKCancelButtons(), 0);
  EXPECT_TRUE(test::Gone(open));
  EXPECT_EQ(Stored("NumRec"), "1");
  EXPECT_EQ(applied, 0);
}

TEST_F(FrmConfTest, TheBrowseButtonPutsTheChosenFolderInTheField) {
  Open();
  QString startedIn;
  dialog->TextSoundpath()->browseFolder = [&](const QString& initial, const QString&, QWidget*) {
    startedIn = initial;
    return QString("/media/rec/");
  };
  test::ClickCentre(dialog->TextSoundpath()->BrowseButton());
  EXPECT_TRUE(startedIn.startsWith(QString::fromStdString(app.Path() + "varn_data")));
  EXPECT_EQ(dialog->TextSoundpath()->Text(), "/media/rec/");
  test::ClickBarButton(dialog->OKCancelButtons(), 1);
  EXPECT_EQ(Stored("Soundpath"), "/media/rec/");
}

TEST_F(FrmConfTest, TabFollowsTheFieldsDownTheWindowAndNothingOverlaps) {
  Open();
  const std::vector<QWidget*> walk = test::TabWalk(dialog, dialog->TextValue(0), 12);
  const std::vector<QWidget*> expected{dialog->TextValue(0),
                                       dialog->TextValue(1),
                                       dialog->TextValue(2),
                                       dialog->TextValue(3),
                                       dialog->TextSoundpath()->TextBox(),
                                       dialog->TextSoundpath()->BrowseButton(),
                                       dialog->Check(0),
                                       dialog->Check(1),
                                       dialog->Check(2),
                                       dialog->Check(3),
                                       dialog->Check(4),
                                       dialog->OKCancelButtons()};
  EXPECT_EQ(walk, expected);
  EXPECT_EQ(test::LayoutFaults(*dialog), std::vector<std::string>{});
  dialog->close();
}

}  // namespace
}  // namespace varn
