// The log window with a settings file of the test's own: the row limit and
// order, empty cells, widths kept across runs, the wheel only over the list,
// the close box and the log command.

#include "ui/log_window/frm_log.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QFontMetrics>
#include <QWheelEvent>
#include <memory>

#include "qstring_print.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "ui/controls/control_font.h"
#include "ui/controls/uc_list_view.h"
#include "ui/log_window/log_column_widths.h"
#include "ui/twips.h"
#include "widget_input.h"

namespace varn {
namespace {

class FrmLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    test::WriteText(app / "varn.ini", "[conf]\n");
    store.ChooseAtStartup();
    SetActiveStore(&store);
    log = std::make_unique<FrmLog>(&owner);
    log->FormLoad();
  }
  void TearDown() override {
    log.reset();
    SetActiveStore(nullptr);
  }
  void Add(int n) {
    for (int i = 0; i < n; ++i)
      log->AddLine("2026/12/06 18:16:54", "2026/12/06 09:16:54", "ch1", "Lch",
                   "line " + std::to_string(added++));
  }
  QString Message(int row) const { return log->LV().Value(row, 4).toString(); }
  // One notch towards the user sent to `w`; true when `w` kept it.
  static bool Notch(QWidget& w) {
    QWheelEvent event(QPointF(20, 40), w.mapToGlobal(QPointF(20, 40)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &event);
    return event.isAccepted();
  }
  // The window system hands a notch over the list on to the window, as the
  // list leaves it (Qt passes on only the window system's own events, so the
  // test sends it to the window).
  void NotchOnList() {
    ASSERT_FALSE(Notch(log->LV()));
    Notch(*log);
  }

  test::TempDir app;
  test::TempDir home;
  SettingsStore store{app.Path(), home.Path()};
  QWidget owner;
  std::unique_ptr<FrmLog> log;
  int added = 0;
};

TEST_F(FrmLogTest, LoadsHiddenWithCaptionHeadersAndDefaultWidths) {
  EXPECT_TRUE(log->Loaded());
  EXPECT_FALSE(log->isVisible());
  EXPECT_EQ(log->windowTitle(), "ログ");
  EXPECT_EQ(log->LV().NumData(), 5);
  EXPECT_EQ(log->LV().TabName(0), "ローカル時");
  EXPECT_EQ(log->LV().TabName(4), "内容");
  // Unset widths fit the header and the texts, so a first run cuts nothing.
  const QFontMetrics metrics(CachedControlFont().font);
  const int stamp = metrics.horizontalAdvance("2026/12/06 18:16:54") * 15;
  EXPECT_GT(log->LV().TabWidth(0), stamp);
  EXPECT_GT(log->LV().TabWidth(1), stamp);
  EXPECT_GT(log->LV().TabWidth(3), metrics.horizontalAdvance("Rch") * 15);
  EXPECT_GT(log->LV().TabWidth(4),
            metrics.horizontalAdvance("**************正常終了*****************") * 15);
  int columns = 0;
  for (int c = 0; c < 5; ++c) columns += log->LV().TabWidth(c) / 15;
  EXPECT_GT(log->LV().width(), columns);  // the first window shows them all
  EXPECT_TRUE(log->TimerWheel().isActive());
  EXPECT_EQ(log->TimerWheel().interval(), 10);
}

TEST_F(FrmLogTest, The1025thLinePushesTheOldestOutAndTheNewestIsOnTop) {
  Add(1025);
  EXPECT_EQ(log->LV().ItemCount(), 1024);
  EXPECT_EQ(Message(0), "line 1024");
  EXPECT_EQ(Message(1023), "line 1");
  log->AddLine("t", "u", "", "", "**************起動*****************");
  EXPECT_EQ(log->LV().ItemCount(), 1024);
  EXPECT_EQ(log->LV().Value(0, 2).toString(), "");
  EXPECT_EQ(log->LV().Value(0, 3).toString(), "");
  EXPECT_EQ(Message(1023), "line 2");
}

TEST_F(FrmLogTest, WidthsDraggedByTheUserAreStoredAtUnloadAndComeBack) {
  UC_ListView& lv = log->LV();
  const QRect column = lv.ColumnRect(1);
  const QPoint border(column.left() + column.width(), lv.HeaderRect().center().y());
  test::Press(lv, border);
  test::Drag(lv, border + QPoint(40, 0));
  test::Release(lv, border + QPoint(40, 0));
  log->FormUnload();
  EXPECT_FALSE(log->Loaded());
  EXPECT_FALSE(log->TimerWheel().isActive());
  const int dragged = DefaultLogColumnWidth(1) + 40 * 15;
  EXPECT_EQ(ReadSetting("TabWidth_LV_2", ""), std::to_string(dragged));
  EXPECT_EQ(ReadSetting("TabWidth_LV_5", ""), std::to_string(DefaultLogColumnWidth(4)));
  EXPECT_NE(ReadSetting("LogWindowWidth", ""), "");

  FrmLog again(&owner);
  again.FormLoad();
  EXPECT_EQ(again.LV().TabWidth(1), dragged);
  EXPECT_EQ(again.LV().ItemCount(), 0);  // a fresh window starts empty
  again.FormUnload();
}

TEST_F(FrmLogTest, WheelScrollsOnlyWithThePointerOverTheList) {
  log->show();
  Add(200);
  UC_ListView& lv = log->LV();
  ASSERT_TRUE(lv.VBarShown());
  QCursor::setPos(log->mapToGlobal(QPoint(2, 2)));  // in the margin around the list
  NotchOnList();
  log->TimerWheelTimer();
  EXPECT_EQ(lv.TopItem(), 0);
  QCursor::setPos(lv.mapToGlobal(lv.BodyRect().center()));
  NotchOnList();
  log->TimerWheelTimer();
  EXPECT_EQ(lv.TopItem(), 3);
  log->TimerWheelTimer();  // the notch was taken: no second move
  EXPECT_EQ(lv.TopItem(), 3);
  Add(1);  // a new line brings the top of the list back into view
  EXPECT_EQ(lv.TopItem(), 0);
}

TEST_F(FrmLogTest, TheCloseBoxOnlyHidesAndTheRowsStay) {
  log->show();
  Add(3);
  EXPECT_FALSE(log->QueryUnload(true));
  EXPECT_FALSE(log->isVisible());
  EXPECT_TRUE(log->Loaded());
  ShowOrHideLog(*log);
  EXPECT_TRUE(log->isVisible());
  EXPECT_EQ(log->LV().ItemCount(), 3);
  EXPECT_TRUE(log->QueryUnload(false));  // the program's own close goes ahead
}

TEST_F(FrmLogTest, TheLogCommandRestoresAMinimisedWindowAndHidesAVisibleOne) {
  log->show();
  log->showMinimized();
  ShowOrHideLog(*log);
  EXPECT_TRUE(log->isVisible());
  EXPECT_FALSE(log->isMinimized());
  ShowOrHideLog(*log);
  EXPECT_FALSE(log->isVisible());
}

TEST_F(FrmLogTest, TheListFillsTheWindowWithOneMarginAllRound) {
  log->show();
  log->resize(500, 300);
  const int margin = 90 / 15;
  EXPECT_EQ(log->LV().geometry(), QRect(margin, margin, 500 - 2 * margin, 300 - 2 * margin));
  log->showMinimized();
  log->FormResize();  // minimised: the list keeps its size
  EXPECT_EQ(log->LV().width(), 500 - 2 * margin);
}

}  // namespace
}  // namespace varn
