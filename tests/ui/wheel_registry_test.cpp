#include "ui/services/wheel_registry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>
#include <memory>

#include "ui/services/pointer_over.h"

namespace varn {
namespace {

// One notch of a mouse wheel; negative y turns towards the user.
void Notch(QWidget& window, int y) {
  QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, y), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&window, &event);
}

TEST(WheelRegistry, LastNotchBetweenTwoTakesWins) {
  QWidget window;
  SubclassWindow(&window);
  Notch(window, -120);
  Notch(window, -120);
  Notch(window, 120);
  EXPECT_EQ(TakeWheel(&window), -1);
  EXPECT_EQ(TakeWheel(&window), 0);
  Notch(window, -120);
  Notch(window, 0);  // no vertical movement: not a notch away
  EXPECT_EQ(TakeWheel(&window), 1);
  UnsubclassWindow(&window);
}

TEST(WheelRegistry, UnregisteredWindowsGiveNothing) {
  QWidget stranger;
  Notch(stranger, -120);
  EXPECT_EQ(TakeWheel(&stranger), 0);
  EXPECT_EQ(FindSlot(&stranger), -1);
  EXPECT_EQ(TakeWheel(nullptr), 0);
}

TEST(WheelRegistry, FreedSlotsAreReused) {
  auto first = std::make_unique<QWidget>();
  QWidget second;
  const int slot = SubclassWindow(first.get());
  EXPECT_EQ(SubclassWindow(first.get()), slot);  // registered once only
  first.reset();                                 // a destroyed window frees its slot
  EXPECT_EQ(SubclassWindow(&second), slot);
  EXPECT_EQ(FindSlot(&second), slot);
  UnsubclassWindow(&second);
  EXPECT_EQ(FindSlot(&second), -1);
}

TEST(PointerOver, EdgesCountAsOutside) {
  const QRect list(100, 50, 200, 80);
  EXPECT_TRUE(IsStrictlyInside({299, 129}, list));
  EXPECT_FALSE(IsStrictlyInside({100, 60}, list));
  EXPECT_FALSE(IsStrictlyInside({300, 60}, list));
}

}  // namespace
}  // namespace varn
