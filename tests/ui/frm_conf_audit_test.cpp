// The audit settings dialog driven as its user drives it: a tab shows its
// set from the store and drops the edits of the set shown before; OK stores
// the set shown, clamped, and makes it the active set.

#include "ui/dialogs/frm_conf_audit.h"

#include <gtest/gtest.h>

#include "dialog_driving.h"
#include "support/dialog_store_fixture.h"
#include "ui/controls/uc_check.h"
#include "ui/controls/uc_tab.h"

namespace varn {
namespace {

class FrmConfAuditTest : public test::DialogStoreTest {
 protected:
  QPointer<QWidget> Open() {
    dialog = new FrmConfAudit(nullptr, [this] { ++applied; });
    test::RecordBoxes(*dialog, boxes);
    dialog->show();
    return dialog;
  }
  void ClickTab(int tab) {
    UC_Tab* strip = dialog->TabConf();
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, strip->TabRect(tab).center());
  }
  std::vector<QString> Shown() const {
    std::vector<QString> texts;
    for (int i = 0; i < 8; ++i) texts.push_back(dialog->TextValue(i)->text());
    return texts;
  }
  FrmConfAudit* dialog = nullptr;
  int applied = 0;
  std::vector<test::ShownBox> boxes;
};

TEST_F(FrmConfAuditTest, ATabShowsItsStoredSetAndDropsTheEditsOfTheOneBefore) {
  Use("PuchiSense_2=70\n");
  Open();
  EXPECT_EQ(dialog->windowTitle(), "監査設定");
  EXPECT_EQ(dialog->TabConf()->SelectedTab(), 0);
  EXPECT_EQ(dialog->TabConf()->TabStr(7), "設定8");
  EXPECT_EQ(Shown(),
            (std::vector<QString>{"1.0", "1.0", "2.0", "0.0", "-90.0", "300", "50", "50"}));
  EXPECT_EQ(dialog->CheckFFTInfinite()->Value(), 0);
  test::TypeOver(dialog->TextValue(0), "5.5");
  test::ClickCentre(dialog->CheckFFTInfinite());
  ClickTab(1);
  EXPECT_EQ(dialog->CurrentSet(), 2);
  EXPECT_EQ(dialog->TextValue(6)->text(), "70");
  ClickTab(0);
  EXPECT_EQ(dialog->TextValue(0)->text(), "1.0");
  EXPECT_EQ(dialog->CheckFFTInfinite()->Value(), 0);
  EXPECT_EQ(Stored("WaveRate_1"), "1");  // only the default the load documented
  dialog->close();
}

TEST_F(FrmConfAuditTest, OkStoresTheSetShownClampedAndMakesItActive) {
  const QPointer<QWidget> open = Open();
  ClickTab(2);
  test::TypeOver(dialog->TextValue(0), "0");
  test::TypeOver(dialog->TextValue(3), "ten");
  test::TypeOver(dialog->TextValue(5), "0");
  test::TypeOver(dialog->TextValue(6), "150");
  test::ClickBarButton(dialog->OKCancelButtons(), 1);
  EXPECT_EQ(Stored("SelectedSetting"), "3");
  EXPECT_EQ(Stored("WaveRate_3"), "0.1");
  EXPECT_EQ(Stored("MaxGateLevel_3"), "0");  // not a number: the loaded default stays
  EXPECT_EQ(Stored("MinGateSpan_3"), "1");
  EXPECT_EQ(Stored("PuchiSense_3"), "100");
  EXPECT_EQ(Stored("FFTSense_3"), "50");
  EXPECT_EQ(applied, 1);
  EXPECT_TRUE(test::Gone(open));

  Open();  // opens on the active set, from the store
  EXPECT_EQ(dialog->TabConf()->SelectedTab(), 2);
  EXPECT_EQ(dialog->TextValue(0)->text(), "0.1");
  dialog->close();
}

TEST_F(FrmConfAuditTest, TabFollowsTheFieldsDownTheWindowAndNothingOverlaps) {
  Open();
  const std::vector<QWidget*> walk = test::TabWalk(dialog, dialog->TabConf(), 11);
  std::vector<QWidget*> expected{dialog->TabConf()};
  for (int i = 0; i < 8; ++i) {
    expected.push_back(dialog->TextValue(i));
    if (i == 2) expected.push_back(dialog->CheckFFTInfinite());
  }
  expected.push_back(dialog->OKCancelButtons());
  EXPECT_EQ(walk, expected);
  EXPECT_EQ(test::LayoutFaults(*dialog), std::vector<std::string>{});
  dialog->close();
}

}  // namespace
}  // namespace varn
