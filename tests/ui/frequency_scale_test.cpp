#include "ui/display/frequency_scale.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "display_pixels.h"

namespace varn {
namespace {

QStringList Texts(int width, int rate) {
  QStringList texts;
  for (const FrequencyMark& mark : FrequencyMarks(width, rate)) texts << mark.text;
  return texts;
}

TEST(FrequencyScale, NarrowScalesLabelEveryOtherFrequency) {
  EXPECT_EQ(Texts(449, 48000), (QStringList{"|25", "|63", "|160", "|400", "|1k", "|2.5k", "|6.3k",
                                            "|16k", "|40k", "|100k"}));
  const QStringList wide = Texts(450, 48000);
  ASSERT_EQ(wide.size(), 19);
  EXPECT_EQ(wide[1], "|40");
}

TEST(FrequencyScale, LabelsSpanFrom25HzToTheNyquistFrequency) {
  const std::vector<FrequencyMark> marks = FrequencyMarks(600, 2000);
  EXPECT_EQ(marks.front().x, 0);
  EXPECT_EQ(marks[8].text, "|1k");
  EXPECT_EQ(marks[8].x, 600);
}

TEST(FrequencyScale, ALabelThatWouldRunPastTheEdgeEndsAtIt) {
  // 376 pixels at 48000 Hz: "|16k" starts 22 pixels before the edge.
  const auto width = [](const QString& text) { return 8 * static_cast<int>(text.size()); };
  const std::vector<FrequencyMark> plain = FrequencyMarks(376, 48000);
  const std::vector<FrequencyMark> fitted = FrequencyMarks(376, 48000, width);
  ASSERT_EQ(plain.size(), fitted.size());
  for (size_t i = 0; i < plain.size(); ++i) {
    if (plain[i].x >= 376) {
      EXPECT_EQ(fitted[i].x, plain[i].x) << "past the Nyquist frequency: still outside";
    } else if (plain[i].text == "|16k") {
      EXPECT_EQ(fitted[i].x, 376 - 32);
    } else {
      EXPECT_EQ(fitted[i].x, plain[i].x) << plain[i].text.toStdString();
    }
  }
}

TEST(FrequencyScale, DrawingClearsAndPrints) {
  QImage image = test::FilledImage(449, 20, 0x123456);
  DrawFrequencyScale(image, 48000);
  bool ink = false;
  for (int x = 0; x < 20; ++x) {
    for (int y = 0; y < 20; ++y) ink |= test::PixelBgr(image, x, y) != 0x000000;
  }
  EXPECT_TRUE(ink);
  EXPECT_EQ(test::PixelBgr(image, 448, 19), 0x000000);
}

}  // namespace
}  // namespace varn
