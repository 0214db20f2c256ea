#include "ui/display/meter_drawing.h"

#include <QFontMetrics>
#include <QPainter>

#include "ui/display/c_vu.h"
#include "ui/display/colours.h"
#include "ui/display/display_font.h"
#include "ui/display/image_pixels.h"
#include "ui/display/paint_style.h"
#include "ui/twips.h"

namespace varn {

QString MeterModeCaption(MeterTextMode mode) {
  switch (mode) {
    case MeterTextMode::Peak:
      return QStringLiteral("Peak");
    case MeterTextMode::Hold:
      return QStringLiteral("PH");
    default:
      return QStringLiteral("RMS");
  }
}

void DrawMeterBackground(C_VU& vu, QImage& background, MeterTextMode mode,
                         const MeterCaptionFont& caption) {
  if (background.isNull()) return;
  background.fill(ToQColor(vu.BackColor()));
  {
    QPainter painter(&background);
    BevelFrame(painter, background.rect(), 0x090909, 0x606060, true, 3);
  }
  // A fresh font size makes the scale apply its fonts to this picture.
  vu.SetCurrentFontSize(0);
  vu.DrawScaleToPB(background);
  vu.SetCurrentFontSize(0);
  {
    QPainter painter(&background);
    const QFont font = DisplayFont(caption.family, caption.points);
    const QFontMetrics metrics(font);
    const int pixel = TwipsPerPixel();
    // Right of the bars, above the bottom edge, whatever the caption: the
    // widest one, "Peak", fixes the place.
    const int widthTwips = background.width() * pixel;
    const int heightTwips = background.height() * pixel;
    const double x = widthTwips - metrics.horizontalAdvance(QStringLiteral("Peak")) * pixel - 120;
    const double y = heightTwips - metrics.height() * pixel - caption.panelScale * 120.0;
    painter.setFont(font);
    painter.setPen(ToQColor(vu.ForeColor()));
    painter.drawText(QPoint(TwipsToPixels(x), TwipsToPixels(y) + metrics.ascent()),
                     MeterModeCaption(mode));
  }
  if (QImage* meter = vu.PictureBox()) CopyImage(*meter, background);
}

void DrawMeter(C_VU& vu, const QImage& background, std::span<const VuBarValues> bars) {
  QImage* meter = vu.PictureBox();
  if (!meter || meter->isNull()) return;
  CopyImage(*meter, background);
  QPainter painter(meter);
  for (const VuBarValues& bar : bars) {
    vu.DrawVU(painter, bar.index, bar.vu, bar.peak, bar.text, bar.hold);
  }
}

}  // namespace varn
