#include "ui/display/meter_drawing.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

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
    case MeterTextMode::Lufs:
      return QStringLiteral("LUFS");
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
    // widest one, "Peak", fixes the place ("LUFS" has no more ink).
    const QString text = MeterModeCaption(mode);
    const int widthTwips = background.width() * pixel;
    const int heightTwips = background.height() * pixel;
    const double x = widthTwips - metrics.horizontalAdvance(QStringLiteral("Peak")) * pixel - 120;
    const double y = heightTwips - metrics.height() * pixel - caption.panelScale * 120.0;
    painter.setFont(font);
    painter.setPen(ToQColor(vu.ForeColor()));
    painter.drawText(QPoint(TwipsToPixels(x), TwipsToPixels(y) + metrics.ascent()), text);
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

namespace {

const VuBarShape* Find(const std::vector<VuBarShape>& shapes, int index) {
  for (const VuBarShape& s : shapes)
    if (s.index == index) return &s;
  return nullptr;
}

// The columns where two spans of one box differ. Columns both cover keep
// their colour, which depends on the row only.
void AddSpanChange(QRegion& area, const C_VU& vu, const VuBarShape& shape, const VuSpan& a,
                   const VuSpan& b) {
  if (a == b) return;
  if (a.Empty() || b.Empty() || a.last < b.first || b.last < a.first) {
    area += vu.BoxArea(shape, a);
    area += vu.BoxArea(shape, b);
    return;
  }
  if (a.first != b.first)
    area += vu.BoxArea(shape, {std::min(a.first, b.first), std::max(a.first, b.first) - 1});
  if (a.last != b.last)
    area += vu.BoxArea(shape, {std::min(a.last, b.last) + 1, std::max(a.last, b.last)});
}

void AddWholeBar(QRegion& area, const C_VU& vu, const VuBarShape& shape) {
  for (const VuSpan* span : {&shape.red, &shape.green, &shape.peak, &shape.hold})
    area += vu.BoxArea(shape, *span);
  area += vu.TextArea(shape);
}

bool HasRepeatedBar(std::span<const VuBarValues> bars) {
  for (size_t i = 0; i < bars.size(); ++i)
    for (size_t j = i + 1; j < bars.size(); ++j)
      if (bars[i].index == bars[j].index) return true;
  return false;
}

}  // namespace

QRegion LiveMeter::Changed(const C_VU& vu, const std::vector<VuBarShape>& next) const {
  QRegion area;
  for (const VuBarShape& now : next) {
    const VuBarShape* before = Find(shown_, now.index);
    if (!before) {
      AddWholeBar(area, vu, now);
      continue;
    }
    if (*before == now) continue;
    AddSpanChange(area, vu, now, before->red, now.red);
    AddSpanChange(area, vu, now, before->green, now.green);
    AddSpanChange(area, vu, now, before->peak, now.peak);
    AddSpanChange(area, vu, now, before->hold, now.hold);
    if (before->text != now.text || before->textBox != now.textBox) {
      area += vu.TextArea(*before);
      area += vu.TextArea(now);
    }
  }
  for (const VuBarShape& gone : shown_)
    if (!Find(next, gone.index)) AddWholeBar(area, vu, gone);
  return area;
}

QRegion LiveMeter::Update(C_VU& vu, const QImage& background, std::span<const VuBarValues> bars) {
  QImage* meter = vu.PictureBox();
  if (!meter || meter->isNull()) return {};
  std::vector<VuBarShape> next;
  next.reserve(bars.size());
  for (const VuBarValues& bar : bars)
    next.push_back(vu.Shape(bar.index, bar.vu, bar.peak, bar.text, bar.hold));

  // A bar drawn twice in one update cannot be told apart by its shapes, so
  // it and the update after it are whole ones.
  const bool repeated = HasRepeatedBar(bars);
  const bool whole = repeated || meter->cacheKey() != pictureKey_ ||
                     meter->size() != background.size() || meter->format() != background.format();
  QRegion area;
  if (whole) {
    DrawMeter(vu, background, bars);
    area = meter->rect();
  } else {
    area = Changed(vu, next) & meter->rect();
    if (area.isEmpty()) return {};
    for (const QRect& r : area) CopyArea(*meter, background, r);
    QPainter painter(meter);
    painter.setClipRegion(area);
    for (const VuBarShape& shape : next) vu.DrawShape(painter, shape, &area);
  }
  shown_ = std::move(next);
  pictureKey_ = repeated ? 0 : meter->cacheKey();
  return area;
}

}  // namespace varn
