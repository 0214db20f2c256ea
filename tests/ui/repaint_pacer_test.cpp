#include "ui/main_window/repaint_pacer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

namespace varn {
namespace {

class CountingWidget : public QWidget {
 public:
  int paints = 0;
  QRegion painted;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    painted += event->region();
  }
};

class RepaintPacerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    widget_.resize(100, 50);
    widget_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget_));
    QCoreApplication::processEvents();
    widget_.paints = 0;
    widget_.painted = QRegion();
  }

  CountingWidget widget_;
  RepaintPacer pacer_{50};
};

TEST_F(RepaintPacerTest, ManyMarksMakeOneRepaintOfTheirAreaAtTheNextFrame) {
  pacer_.MarkAll(&widget_);
  pacer_.Frame();  // a frame shown now: the next is one frame away
  QCoreApplication::processEvents();
  widget_.paints = 0;
  widget_.painted = QRegion();
  for (int i = 0; i < 5; ++i) pacer_.Mark(&widget_, QRect(i * 10, 0, 5, 5));
  QCoreApplication::processEvents();
  EXPECT_EQ(widget_.paints, 0);  // nothing before the frame
  EXPECT_TRUE(QTest::qWaitFor([&] { return widget_.paints > 0; }, 1000));
  // With nothing marked the timer stops after its next frame.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !pacer_.Running(); }, 1000));
  EXPECT_EQ(widget_.paints, 1);
  EXPECT_EQ(pacer_.FramesShown(), 2);
  EXPECT_FALSE(widget_.painted.contains(QPoint(7, 2)));  // between two marks
  EXPECT_TRUE(widget_.painted.contains(QPoint(42, 2)));
}

TEST_F(RepaintPacerTest, AHeldFrameIsShownOnRelease) {
  pacer_.Hold();
  pacer_.MarkAll(&widget_);
  QTest::qWait(150);
  EXPECT_EQ(pacer_.FramesShown(), 0);
  pacer_.Release();
  EXPECT_EQ(pacer_.FramesShown(), 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return widget_.paints == 1; }, 1000));
}

TEST_F(RepaintPacerTest, DeferredWorkRunsOncePerFrameAndItsMarksShowInThatFrame) {
  int replaced = 0, runs = 0, cancelled = 0;
  int otherOwner = 0;
  pacer_.Defer(&widget_, [&] { ++replaced; });
  pacer_.Defer(&widget_, [&] {
    ++runs;
    pacer_.Mark(&widget_, QRect(0, 0, 5, 5));
  });
  pacer_.Defer(&otherOwner, [&] { ++cancelled; });
  pacer_.Cancel(&otherOwner);
  EXPECT_TRUE(pacer_.Pending());
  EXPECT_TRUE(QTest::qWaitFor([&] { return widget_.paints > 0; }, 1000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !pacer_.Running(); }, 1000));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(replaced, 0);
  EXPECT_EQ(cancelled, 0);
  EXPECT_EQ(pacer_.FramesShown(), 1);
  EXPECT_TRUE(widget_.painted.contains(QPoint(2, 2)));
}

}  // namespace
}  // namespace varn
