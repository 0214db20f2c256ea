#include "ui/fonts/font_cache.h"

#include <gtest/gtest.h>

#include <QWidget>

#include "qstring_print.h"
#include "ui/fonts/ui_font.h"
#include "ui/twips.h"

namespace varn {
namespace {

class FontCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    SetUiFontName("Noto Sans CJK JP");
  }
  int Ask(QWidget* window, float size = 0, bool bold = false, const QString& face = {}) {
    return cache.SetWindowFont(window, kFontFromArguments, nullptr, size, bold, false, face);
  }
  FontCache cache;
};

TEST_F(FontCacheTest, DefaultFontRequestsShareEntryZero) {
  QWidget dialog1, dialog2;
  EXPECT_EQ(Ask(&dialog1), 0);
  EXPECT_EQ(Ask(&dialog2), 0);
  EXPECT_EQ(cache.Size(), 1);
  EXPECT_EQ(dialog2.font().family(), "Noto Sans CJK JP");
  EXPECT_EQ(dialog2.font().pixelSize(), 12);  // 9 pt x 20 / 15
}

TEST_F(FontCacheTest, BoldImpactAddsOneEntry) {
  QWidget label;
  EXPECT_EQ(Ask(&label, 10, true, "Impact"), 1);  // after the default entry
  EXPECT_EQ(Ask(nullptr, 10, true, "Impact"), 1);
  // The font a control got from the cache leads back to its entry.
  EXPECT_EQ(cache.SetWindowFont(nullptr, kFontFromControl, &label, 0, false, false, {}), 1);
  EXPECT_EQ(cache.Size(), 2);
  EXPECT_TRUE(cache.At(1)->font.bold());
  EXPECT_EQ(cache.At(1)->font.pixelSize(), 13);  // 10 x 20 / 15 = 13.3
  EXPECT_EQ(cache.At(1)->correction, 1.0f);
  // "メイリオ" is made taller, and its correction undoes that.
  EXPECT_EQ(Ask(nullptr, 9, false, "メイリオ"), 2);
  EXPECT_EQ(cache.At(2)->font.pixelSize(), 16);  // 9 x 20 x 1.34 / 15 = 16.08
  EXPECT_FLOAT_EQ(cache.At(2)->correction, 1 / 1.34f);
}

TEST_F(FontCacheTest, IndexOutsideTheCacheChangesNothing) {
  for (float size : {9.0f, 10.0f, 11.0f}) ASSERT_TRUE(cache.Create(size, false, false, "A"));
  QWidget window;
  const QFont before = window.font();
  EXPECT_EQ(cache.SetWindowFont(&window, 5, nullptr, 0, false, false, {}), kNoFont);
  EXPECT_EQ(cache.Size(), 3);
  EXPECT_EQ(window.font(), before);
  EXPECT_EQ(cache.SetWindowFont(&window, 2, nullptr, 0, false, false, {}), 2);
  EXPECT_EQ(window.font().pixelSize(), 15);  // 11 x 20 / 15 = 14.7
}

}  // namespace
}  // namespace varn
