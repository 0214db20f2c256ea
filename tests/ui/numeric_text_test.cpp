// The number-field rule of the settings dialogs, and the dialog building
// functions that place, caption and store fields.

#include "settings/numeric_text.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include "support/dialog_store_fixture.h"
#include "ui/controls/uc_list_view.h"
#include "ui/dialogs/dialog_building.h"
#include "ui/twips.h"

namespace varn {
namespace {

using test::DialogStoreTest;

TEST(ClampedNumericText, RoundsClampsAndRefusesWhatIsNotANumber) {
  EXPECT_EQ(ClampedNumericText("7.26", 0.1, 10, 1), "7.3");
  EXPECT_EQ(ClampedNumericText("12", 0, 10, 0), "10");
  EXPECT_EQ(ClampedNumericText("0", 0.1, 10, 1), "0.1");
  EXPECT_EQ(ClampedNumericText("-120", -99, 40, 1), "-99.0");
  EXPECT_EQ(ClampedNumericText(" 1e9 ", 1, 2000, 0), "2000");
  EXPECT_EQ(ClampedNumericText("-0.01", -99, 40, 1), "0.0");     // never "-0.0"
  EXPECT_EQ(ClampedNumericText("１２．５", 0, 100, 1), "12.5");  // typed with the input method on
  EXPECT_EQ(ClampedNumericText("－３", -60, 60, 1), "-3.0");
  for (const char* bad : {"", " ", "abc", "12abc", "1,5", "nan", "inf", "--1"})
    EXPECT_EQ(ClampedNumericText(bad, 0, 10, 0), std::nullopt) << bad;
}

class DialogBuildingTest : public DialogStoreTest {};

TEST_F(DialogBuildingTest, StoreNumericTextShowsAndStoresTheClampedValueOrNothing) {
  QLineEdit box;
  box.setText("abc");
  EXPECT_FALSE(StoreNumericText(&box, 0.1, 10, 1, "WaveRate_1"));
  EXPECT_EQ(box.text(), "abc");
  EXPECT_FALSE(InFile("WaveRate_1=abc"));
  EXPECT_EQ(Stored("WaveRate_1"), "(none)");
  box.setText("7.26");
  EXPECT_TRUE(StoreNumericText(&box, 0.1, 10, 1, "WaveRate_1"));
  EXPECT_EQ(box.text(), "7.3");
  EXPECT_EQ(Stored("WaveRate_1"), "7.3");
}

TEST_F(DialogBuildingTest, ColumnWidthsAreStoredPerColumnAndNothingForNoColumns) {
  const auto width = [](int i) { return 900.0 + 300 * i; };
  SaveColumnWidths(0, width, "LV_", 0, 1);
  EXPECT_EQ(Stored("TabWidth_LV_1"), "(none)");
  SaveColumnWidths(2, width, "LV_", 2, 2);
  EXPECT_EQ(Stored("TabWidth_LV_3"), "450");
  EXPECT_EQ(Stored("TabWidth_LV_4"), "600");

  UC_ListView list;  // the log window's list, with a column the user widened
  list.SetNumData(2);
  list.Init();
  list.InitTab();
  list.SetTabWidth(0, 900);
  list.SetTabWidth(1, 2400);
  SaveColumnWidths(list, "LV_", 0, 1);
  EXPECT_EQ(Stored("TabWidth_LV_2"), "2400");
}

TEST(DialogBuilding, RowsArePlacedTwoPixelsBelowWithTheDesignOfTheFirst) {
  QWidget window;
  std::vector<QLineEdit*> fields{new QLineEdit(&window)};
  fields[0]->setGeometry(100, 20, 80, 21);
  fields[0]->setAlignment(Qt::AlignRight);
  for (int i = 1; i < 4; ++i) ASSERT_NE(AddControlRow(fields, i, true), nullptr);
  EXPECT_EQ(AddControlRow(fields, 6, true), nullptr);  // not the next element
  EXPECT_EQ(fields[3]->geometry(), QRect(100, fields[2]->y() + 21 + 2, 80, 21));
  EXPECT_EQ(fields[3]->parentWidget(), &window);
  EXPECT_EQ(fields[3]->alignment(), Qt::AlignRight);
  EXPECT_EQ(fields[2]->nextInFocusChain(), fields[3]);

  auto* check = new QWidget(&window);
  check->setGeometry(300, 0, 40, 15);
  PlaceNextTo(check, fields[1], kPlaceCentredBeside, kDefaultGap, 0);
  EXPECT_EQ(check->geometry().center().y(), fields[1]->geometry().center().y());
  EXPECT_EQ(check->x(), 300);
}

TEST(DialogBuilding, LabelsSitLeftAboveAndRightOfTheirControl) {
  const int p = TwipsPerPixel();
  const QRect control(200, 100, 80, 22);
  const QSize text(60, 16);
  EXPECT_EQ(LabelTopLeft(control, text, kLabelLeft), QPoint(200 - 60 - 90 / p, 100 + 60 / p));
  EXPECT_EQ(LabelTopLeft(control, text, kLabelAbove), QPoint(200 + 30 / p, 100 - 16 - 30 / p));
  EXPECT_EQ(LabelTopLeft(control, text, kLabelRight), QPoint(280 + 30 / p, 100 + 60 / p));
}

TEST(DialogBuilding, SelectComboTextTakesTheLastEqualEntryAndIgnoresUnknownText) {
  QComboBox combo;
  combo.addItems({"48000", "44100", "48000", "Mono16bit"});
  combo.setCurrentIndex(1);
  SelectComboText(&combo, "96000");
  EXPECT_EQ(combo.currentIndex(), 1);
  SelectComboText(&combo, "48000");
  EXPECT_EQ(combo.currentIndex(), 2);
}

}  // namespace
}  // namespace varn
