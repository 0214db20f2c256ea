#include "ui/fonts/fit_text.h"

#include <gtest/gtest.h>

#include "qstring_print.h"

namespace varn {
namespace {

// Made inside each test: fonts need the QApplication of the test main.
QFontMetrics Metrics() { return QFontMetrics(QFont("Noto Sans CJK JP", 12)); }

TEST(FitText, TextThatFitsComesBackWhole) {
  const QFontMetrics metrics = Metrics();
  EXPECT_EQ(FitText("系統名1", metrics, metrics.horizontalAdvance("系統名1"), false), "系統名1");
  EXPECT_EQ(FitText("系", metrics, 0, false), "系");  // one character is never cut
  EXPECT_EQ(FitText("", metrics, 0, true), "");
}

TEST(FitText, CutsToTheLongestPieceThatFitsButKeepsOneCharacter) {
  const QFontMetrics metrics = Metrics();
  EXPECT_EQ(FitText("ABCDEFGH", metrics, metrics.horizontalAdvance("ABCD") + 1, false), "ABCD");
  EXPECT_EQ(FitText("ABCDEFGH", metrics, metrics.horizontalAdvance("EFGH"), true), "EFGH");
  EXPECT_EQ(FitText("系統名", metrics, 1, false), "系");
  EXPECT_EQ(FitText("系統名", metrics, 1, true), "名");
  // A character outside the basic plane is one character, not two halves.
  EXPECT_EQ(FitText(QString::fromUtf8("𠮷野家"), metrics, 1, false), QString::fromUtf8("𠮷"));
}

}  // namespace
}  // namespace varn
