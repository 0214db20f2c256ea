// The audio settings dialog driven as its user drives it, over the virtual
// devices: the backend's devices are listed, bit rates come from the codec's
// probe and follow the rate and format, an 8-bit row ends the save after the
// rows before it, and the number fields are clamped.

#include "ui/dialogs/frm_conf_sound.h"

#include <gtest/gtest.h>

#include "audio/sim/sim_service.h"
#include "dialog_driving.h"
#include "support/dialog_store_fixture.h"
#include "ui/controls/uc_check.h"

namespace varn {
namespace {

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

class FrmConfSoundTest : public test::DialogStoreTest {
 protected:
  QPointer<QWidget> Open() {
    dialog = new FrmConfSound(nullptr, sim, [this] { ++applied; });
    test::RecordBoxes(*dialog, boxes);
    dialog->show();
    return dialog;
  }
  SimWaveService sim{SimPace::Manual};
  FrmConfSound* dialog = nullptr;
  int applied = 0;
  std::vector<test::ShownBox> boxes;
};

TEST_F(FrmConfSoundTest, ListsTheBackendsDevicesAndShowsTheStoredRows) {
  Use("DeviceName_2=sim ramp\nBitRate_2=0\nRecMode_2=2\nRecFreq_2=48000\nMonDeviceName=Sim Null "
      "Output\n");
  Open();
  EXPECT_EQ(dialog->windowTitle(), "オーディオ設定");
  EXPECT_EQ(Items(dialog->ComboDev(0)), (QStringList{"Sim Tone 1kHz", "Sim Pink Noise",
                                                     "Sim Programme", "Sim Silence", "Sim Ramp"}));
  EXPECT_EQ(Items(dialog->ComboMonDev()), QStringList{"Sim Null Output"});
  EXPECT_EQ(dialog->ComboMonDev()->currentIndex(), 0);
  EXPECT_EQ(Items(dialog->ComboFreq(7)),
            (QStringList{"192000", "96000", "88200", "48000", "44100"}));
  EXPECT_EQ(Items(dialog->ComboFmt(7)),
            (QStringList{"Mono8bit", "Stereo8bit", "Mono16bit", "Stereo16bit"}));
  // A fresh row.
  EXPECT_EQ(dialog->ComboDev(0)->currentIndex(), -1);
  EXPECT_EQ(dialog->ComboFmt(0)->currentIndex(), 3);
  EXPECT_EQ(dialog->ComboFreq(0)->currentText(), "44100");
  EXPECT_EQ(dialog->TextRecLevelDB(0)->text(), "0.0");
  EXPECT_EQ(dialog->TextBufferSec(0)->text(), "3");
  EXPECT_EQ(dialog->CheckArcOn(0)->Value(), 1);
  EXPECT_EQ(dialog->Checkmp3(0)->Value(), 1);
  EXPECT_EQ(dialog->ComboBR(0)->currentText(), "160");
  EXPECT_EQ(dialog->TextBufferDelay()->text(), "300");
  // A stored row: the name matched without regard to case, WAV with a full list.
  EXPECT_EQ(dialog->ComboDev(1)->currentText(), "Sim Ramp");
  EXPECT_EQ(dialog->ComboFmt(1)->currentText(), "Mono16bit");
  EXPECT_EQ(dialog->ComboFreq(1)->currentText(), "48000");
  EXPECT_EQ(dialog->Checkmp3(1)->Value(), 0);
  EXPECT_EQ(dialog->ComboBR(1)->itemText(0), "320");
  dialog->close();
}

TEST_F(FrmConfSoundTest, TheBitRateListFollowsTheRateAndKeepsTheChoice) {
  Open();
  QComboBox* rate = dialog->ComboFreq(0);
  rate->setFocus();
  QTest::keyClick(rate, Qt::Key_Up);  // 48000
  EXPECT_EQ(rate->currentText(), "48000");
  EXPECT_EQ(dialog->ComboBR(0)->currentText(), "160");
  QTest::keyClick(rate, Qt::Key_Up);  // 88200: MPEG audio has no bit rate there
  EXPECT_EQ(dialog->ComboBR(0)->count(), 0);
  QTest::keyClick(rate, Qt::Key_Down);  // back at 48000: the first rate offered
  EXPECT_EQ(dialog->ComboBR(0)->currentText(), "320");
  QComboBox* format = dialog->ComboFmt(0);
  dialog->ComboBR(0)->setCurrentIndex(dialog->ComboBR(0)->findText("64"));
  QTest::keyClick(format, Qt::Key_Up);  // Mono16bit keeps 64
  EXPECT_EQ(dialog->ComboBR(0)->currentText(), "64");
  QTest::keyClick(format, Qt::Key_Up);  // Stereo8bit: nothing to encode
  EXPECT_EQ(dialog->ComboBR(0)->count(), 0);
  dialog->close();
}

TEST_F(FrmConfSoundTest, AnEightBitRowStoresTheRowsBeforeItAndKeepsTheDialogOpen) {
  const QPointer<QWidget> open = Open();
  test::TypeOver(dialog->TextRecLevelDB(0), "-120");
  test::TypeOver(dialog->TextBufferSec(1), "1");
  test::TypeOver(dialog->TextRecLevelDB(2), "loud");
  test::TypeOver(dialog->TextBufferDelay(), "5000");
  QTest::keyClick(dialog->ComboFmt(4), Qt::Key_Up);  // Stereo16bit -> Mono16bit
  QTest::keyClick(dialog->ComboFmt(4), Qt::Key_Up);  // -> Stereo8bit
  ASSERT_EQ(dialog->ComboFmt(4)->currentText(), "Stereo8bit");
  test::ClickBarButton(dialog->OKCancelButtons(), 1);

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "16bit録音のみ対応しています");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(boxes[0].caption.isEmpty());
  EXPECT_EQ(Stored("RecLevelDB_1"), "-99.0");
  EXPECT_EQ(dialog->TextRecLevelDB(0)->text(), "-99.0");
  EXPECT_EQ(Stored("BufferSec_2"), "3.0");
  EXPECT_EQ(dialog->TextBufferSec(1)->text(), "3.0");
  EXPECT_EQ(Stored("RecLevelDB_3"), "0");  // not a number: the loaded default stays
  EXPECT_EQ(Stored("BitRate_4"), "160");
  EXPECT_FALSE(InFile("RecMode_5=1"));
  EXPECT_EQ(Stored("BufferDelay"), "300");
  EXPECT_EQ(applied, 0);
  EXPECT_FALSE(test::Gone(open));
  EXPECT_TRUE(dialog->isVisible());

  QTest::keyClick(dialog->ComboFmt(4), Qt::Key_Down);    // Mono16bit
  QTest::keyClick(dialog->ComboFmt(4), Qt::Key_Return);  // a closed list passes Enter on
  EXPECT_EQ(Stored("RecMode_5"), "2");
  EXPECT_EQ(Stored("BufferDelay"), "2000");
  EXPECT_EQ(Stored("MonDeviceName"), "");  // none chosen: the default output stays
  EXPECT_EQ(applied, 1);
  EXPECT_TRUE(test::Gone(open));
}

TEST_F(FrmConfSoundTest, AnUntickedMp3StoresWavAndNothingOverlaps) {
  Open();
  test::ClickCentre(dialog->Checkmp3(3));
  EXPECT_EQ(test::LayoutFaults(*dialog), std::vector<std::string>{});
  const std::vector<QWidget*> walk = test::TabWalk(dialog, dialog->ComboBR(6), 5);
  EXPECT_EQ(walk,
            (std::vector<QWidget*>{dialog->ComboBR(6), dialog->ComboDev(7), dialog->ComboFreq(7),
                                   dialog->ComboFmt(7), dialog->TextRecLevelDB(7)}));
  test::ClickBarButton(dialog->OKCancelButtons(), 1);
  EXPECT_EQ(Stored("BitRate_4"), "0");
  EXPECT_EQ(Stored("BitRate_3"), "160");
}

}  // namespace
}  // namespace varn
