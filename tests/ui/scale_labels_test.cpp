// The scale labels at a glance: the spectrum's grid labels clear of each
// other and of every line at every layout of one to eight lines and every
// window size the program accepts, and the level figures clear of their
// captions, in the packaged face and in DejaVu Sans.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QPainter>
#include <map>

#include "qstring_print.h"
#include "ui/display/spectrum_grid.h"
#include "ui/fonts/font_cache.h"
#include "ui/fonts/packaged_face.h"
#include "ui/main_window/level_figures.h"
#include "ui/main_window/panel_geometry.h"
#include "ui/twips.h"

namespace varn {
namespace {

constexpr int kMarkerPixels = 12;  // as the panel's
const char* const kDejaVu = "DejaVu Sans";

// Where a text's pixels really lie when drawn with its baseline at (0, 0):
// found by drawing it, not from the font's own figures.
QRect DrawnInk(const QString& text, const QFont& font) {
  QImage image(200, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QPoint origin(50, 60);
  {
    QPainter p(&image);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(origin, text);
  }
  QRect ink;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != qRgb(255, 255, 255)) ink |= QRect(x, y, 1, 1);
  return ink.translated(-origin);
}

TEST(ScaleLabels, GridLabelsNeverTouchEachOtherOrALineAtAnyLayoutAndWindowSize) {
  SetTwipsPerPixel(15);
  for (const QString& family : {PackagedUiFace(), QString(kDejaVu)}) {
    QFont font(family);
    font.setPointSizeF(kDefaultFontPoints);  // as the panel sets it
    std::map<QString, QRect> inks;
    int views = 0;
    int labelled = 0;
    // 334 pixels is the least the window accepts (5000 twips).
    for (int height = 334; height <= 1440; height += 19) {
      for (int channels = 1; channels <= 8; ++channels) {
        for (int maxNumX : {1, 4, 8}) {
          PanelLayoutInput in;
          in.clientWidth = 1600 * 15;
          in.clientHeight = height * 15;
          in.channels = channels;
          in.maxNumX = maxNumX;
          const PanelLayout layout = LayoutPanels(in);
          const TwipRect& view = layout.panels[0].fftView;
          const QSize size(view.width / 15, view.height / 15);
          for (float offset : {50.0f, 25.0f, 80.0f}) {
            ++views;
            const std::vector<GridLine> lines = GridLines(size, offset, font, kMarkerPixels);
            std::vector<QRect> placed;
            for (const GridLine& line : lines) {
              if (!line.labelled) continue;
              ++labelled;
              if (!inks.count(line.text)) inks[line.text] = DrawnInk(line.text, font);
              const QRect ink = inks[line.text].translated(line.textAt);
              const QRect room = ink.adjusted(-1, -1, 1, 1);
              const std::string where = line.text.toStdString() + " in " +
                                        std::to_string(size.width()) + "x" +
                                        std::to_string(size.height()) + " at " +
                                        std::to_string(offset) + " %, " + family.toStdString();
              EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(ink)) << where;
              for (const GridLine& other : lines) {
                if (other.y >= room.top() && other.y <= room.bottom()) {  // its own one too
                  EXPECT_LT(room.right(), other.lineLeft)
                      << other.text.toStdString() << "'s line strikes " << where;
                }
              }
              for (const QRect& before : placed) EXPECT_FALSE(before.intersects(room)) << where;
              placed.push_back(ink);
            }
          }
        }
      }
    }
    EXPECT_GT(labelled, views * 3) << "thinned to nothing in " << family.toStdString();
  }
}

// The captions' and the figures' columns: a figure's pixels never share a
// column with its caption's (a minus drawn under the colon would).
TEST(ScaleLabels, LevelFiguresKeepTheirMinusClearOfTheCaptionInEachFace) {
  SetTwipsPerPixel(15);
  for (const QString& family : {PackagedUiFace(), QString(kDejaVu)}) {
    LevelFigures figures;
    figures.SetFontFamily(family);
    figures.resize(2900 / 15, 540 / 15);
    const auto grab = [&figures] {
      QImage image(figures.size(), QImage::Format_RGB32);
      image.fill(Qt::white);
      figures.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);  // no background
      return image;
    };
    const QImage captions = grab();  // the figures are empty at first
    for (int cell = 0; cell < 4; ++cell) figures.SetCell(cell, "-21.0db");
    const QImage both = grab();
    int figureColumns = 0;
    const int minCaption = 1590 / 15;  // where the Min half starts
    for (int half : {0, 1}) {          // Max on the left, Min on the right
      const int from = half == 0 ? 0 : minCaption;
      const int to = half == 0 ? minCaption : figures.width();
      int captionRight = -1;
      int figureLeft = figures.width();
      for (int x = from; x < to; ++x)
        for (int y = 0; y < figures.height(); ++y) {
          if (captions.pixel(x, y) != qRgb(255, 255, 255)) captionRight = std::max(captionRight, x);
          if (both.pixel(x, y) != captions.pixel(x, y)) figureLeft = std::min(figureLeft, x);
        }
      ASSERT_GE(captionRight, 0) << family.toStdString();
      ASSERT_LT(figureLeft, figures.width()) << family.toStdString();
      EXPECT_GT(figureLeft, captionRight + 1) << "half " << half << " in " << family.toStdString();
      figureColumns += to - figureLeft;
    }
    EXPECT_GT(figureColumns, 0);
  }
}

}  // namespace
}  // namespace varn
