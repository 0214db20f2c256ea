#include "ui/display/frequency_scale.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "analysis/level_math.h"
#include "ui/display/colours.h"
#include "ui/display/display_font.h"

namespace varn {

namespace {
constexpr int kLabelHertz[] = {25,   40,   63,   100,   160,   250,   400,   630,   1000,  1600,
                               2500, 4000, 6300, 10000, 16000, 25000, 40000, 63000, 100000};
constexpr int kNarrowScale = 450;
}  // namespace

namespace {
QString FrequencyLabel(int hertz) {
  if (hertz < 1000) return QStringLiteral("|") + QString::number(hertz);
  return QStringLiteral("|") + QString::number(hertz / 1000.0) + QStringLiteral("k");
}
}  // namespace

std::vector<FrequencyMark> FrequencyMarks(int width, int sampleRate,
                                          const std::function<int(const QString&)>& textWidth) {
  std::vector<FrequencyMark> marks;
  // At 50 Hz or less the axis from 25 Hz to the Nyquist frequency is empty.
  if (sampleRate <= 50 || width <= 0) return marks;
  const float nyquist = static_cast<float>(sampleRate) / 2.0f;
  const float lowest = LinearToDb(25.0f / nyquist);
  const size_t step = width < kNarrowScale ? 2 : 1;
  for (size_t i = 0; i < std::size(kLabelHertz); i += step) {
    const float db = LinearToDb(static_cast<float>(kLabelHertz[i]) / nyquist);
    const double x = width * (1.0 - static_cast<double>(db) / lowest);
    FrequencyMark mark{static_cast<int>(std::nearbyint(x)), FrequencyLabel(kLabelHertz[i])};
    if (textWidth && mark.x < width)
      mark.x = std::max(std::min(mark.x, width - textWidth(mark.text)), 0);
    marks.push_back(mark);
  }
  return marks;
}

void DrawFrequencyScale(QImage& picture, int sampleRate, const FrequencyScaleStyle& style) {
  if (picture.isNull()) return;
  picture.fill(ToQColor(style.backColor));
  QPainter painter(&picture);
  const QFont font = DisplayFont(style.family, style.points);
  painter.setFont(font);
  painter.setPen(ToQColor(style.foreColor));
  const QFontMetrics metrics(font);
  const int ascent = metrics.ascent();
  const auto textWidth = [&metrics](const QString& text) {
    return metrics.horizontalAdvance(text);
  };
  for (const FrequencyMark& mark : FrequencyMarks(picture.width(), sampleRate, textWidth)) {
    painter.drawText(QPoint(mark.x, ascent), mark.text);
  }
}

}  // namespace varn
