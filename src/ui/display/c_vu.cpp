#include "ui/display/c_vu.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "analysis/analysis_output.h"
#include "ui/display/colours.h"
#include "ui/display/display_font.h"
#include "ui/display/vu_scale.h"
#include "ui/twips.h"

namespace varn {

namespace {

constexpr float kSilentDb = -99.9f;

// Real to integer as everywhere in the program: nearest, ties to even.
float RoundToPixel(double value) { return static_cast<float>(std::nearbyint(value)); }

float OnePixel() { return static_cast<float>(TwipsPerPixel()); }

// The nearest pixel of a twip coordinate, as the screen mapping rounds it.
int Px(double twips) { return static_cast<int>(std::floor(twips / TwipsPerPixel() + 0.5)); }

void DrawTextAt(QPainter& painter, float xTwips, float yTwips, int ascent, const QString& text) {
  painter.drawText(QPoint(Px(xTwips), Px(yTwips) + ascent), text);
}

}  // namespace

C_VU::C_VU() : back_(ToQColor(backColor_)), fore_(ToQColor(foreColor_)) {
  SetNumValue(0);
  MakeFonts();
}

void C_VU::SetFontSize(int pType, float pValue) {
  if (pType >= 0 && pType < 3) fontSize_[static_cast<size_t>(pType)] = pValue;
}

float C_VU::FontSize(int pType) const {
  return (pType >= 0 && pType < 3) ? fontSize_[static_cast<size_t>(pType)] : 0.0f;
}

void C_VU::SetFontFamily(const QString& family) { fontFamily_ = family; }

void C_VU::SetBackColor(int bgr) {
  backColor_ = bgr;
  back_ = ToQColor(bgr);
}

void C_VU::SetForeColor(int bgr) {
  foreColor_ = bgr;
  fore_ = ToQColor(bgr);
}

void C_VU::SetNumValue(int numValue) {
  numValue_ = std::max(numValue, 0);
  labels_.assign(static_cast<size_t>(numValue_) + 1, QString());
  labelOffset_.assign(static_cast<size_t>(numValue_) + 1, 0.0f);
}

// A step of 0 would never end the shading loop, a width of 0 divides by 0.
void C_VU::SetBarWidth(int pixels) { barWidth_ = std::max(pixels, 1); }
void C_VU::SetBarWidthStep(int step) { barWidthStep_ = std::max(step, 1); }

void C_VU::SetMargin(float pBarXStart, float pBarXEnd, float pLabelX, float pDBXneg) {
  if (pBarXStart != -1) barXStart_ = pBarXStart;
  if (pBarXEnd != -1) barXEnd_ = pBarXEnd;
  if (pLabelX != -1) labelX_ = pLabelX;
  if (pDBXneg != -1) textMargin_ = pDBXneg;
}

int C_VU::BarXStart() const { return static_cast<int>(RoundToPixel(barXStart_)); }
int C_VU::BarXEnd() const { return static_cast<int>(RoundToPixel(barXEnd_)); }

void C_VU::SetStrType(int pIsNum) {
  for (size_t i = 0; i < labels_.size(); ++i) {
    labels_[i] = pIsNum == 0 ? QString(i % 2 == 0 ? "L" : "R") : QString::number(i + 1);
  }
  UpdateLabelOffsets();
}

void C_VU::SetStr(int index, const QString& pStr) {
  if (index < 0 || index > numValue_) return;
  labels_[static_cast<size_t>(index)] = pStr;
  UpdateLabelOffsets();
}

void C_VU::MakeFonts() {
  const float pixel = OnePixel();
  for (size_t k = 0; k < fonts_.size(); ++k) {
    fonts_[k] = DisplayFont(fontFamily_, fontSize_[k]);
    const QFontMetrics metrics(fonts_[k]);
    textHeight_[k] = static_cast<float>(metrics.height()) * pixel;
    halfHeight_[k] = RoundToPixel(textHeight_[k] / 2.0);
    wideCharWidth_[k] =
        static_cast<float>(metrics.horizontalAdvance(QString::fromUtf8("漢"))) * pixel;
    ascent_[k] = metrics.ascent();
  }
  textMetrics_ = QFontMetrics(fonts_[0]);
  figures_.clear();
  for (size_t c = 32; c < asciiAdvance_.size(); ++c)
    asciiAdvance_[c] = textMetrics_.horizontalAdvance(QChar(static_cast<char16_t>(c)));
}

// Each label is centred on the width of "漢" in the label font.
void C_VU::UpdateLabelOffsets() {
  const QFontMetrics metrics(fonts_[1]);
  for (size_t i = 0; i < labels_.size(); ++i) {
    const float width = static_cast<float>(metrics.horizontalAdvance(labels_[i])) * OnePixel();
    labelOffset_[i] = RoundToPixel(wideCharWidth_[1] - width / 2.0);
  }
}

void C_VU::SetParms() {
  const int pixel = TwipsPerPixel();
  barLength_ = static_cast<float>(PictureWidthTwips()) - barXStart_ - barXEnd_;
  // Red x lies on a whole pixel, so the green part ends on the pixel before
  // the first red one.
  const int red = static_cast<int>(RoundToPixel(NearestX(redPoint_)));
  redX_ = static_cast<float>((red >= 0 ? red / pixel : -((-red + pixel - 1) / pixel)) * pixel);

  const size_t n = static_cast<size_t>(barWidth_);
  red_.resize(n);
  green_.resize(n);
  grey_.resize(n);
  for (int i = 0; i < barWidth_; ++i) {
    const int g = static_cast<int>(RoundToPixel(120.0 / barWidth_ * i + 50));
    const int l = static_cast<int>(RoundToPixel(80.0 / barWidth_ * i + 10));
    red_[static_cast<size_t>(i)] = QColor(g, l, l);
    green_[static_cast<size_t>(i)] = QColor(l, g, l);
    grey_[static_cast<size_t>(i)] = QColor(g, g, g);
  }
  MakeFonts();
  UpdateLabelOffsets();
  if (picture_ && !picture_->isNull()) picture_->fill(back_);
}

float C_VU::BarThickness() const { return static_cast<float>(2 * barWidth_ - 1) * OnePixel(); }

float C_VU::BarCentreY(int index) const {
  const float t = BarThickness();
  return RoundToPixel((barMargin_ + t) * static_cast<float>(index) + topMargin_ + t / 2.0f);
}

float C_VU::LevelX(float db) const {
  return VuPositionInterpolated(db) / kVuFullScalePosition * barLength_ + barXStart_;
}

float C_VU::NearestX(float db) const {
  return static_cast<float>(VuPositionNearest(db)) / kVuFullScalePosition * barLength_ + barXStart_;
}

int C_VU::PictureWidthTwips() const { return picture_ ? picture_->width() * TwipsPerPixel() : 0; }

VuSpan C_VU::BoxSpan(float x1, float x2) {
  // A box of no length draws nothing: a silent bar leaves no stub behind.
  if (!(x2 > x1)) return {};
  return {Px(x1), Px(x2)};
}

QRect C_VU::BoxArea(const VuBarShape& shape, const VuSpan& columns) const {
  if (columns.Empty()) return {};
  return QRect(QPoint(columns.first, shape.centre - (barWidth_ - 1)),
               QPoint(columns.last, shape.centre + (barWidth_ - 1)));
}

QRect C_VU::TextArea(const VuBarShape& shape) const {
  if (shape.text.empty()) return {};
  // Right-aligned in its box; a few pixels either way hold any overhang.
  // The figures are ASCII: their glyphs' advances, summed, measure them
  // without laying the text out (a pixel a character more for kerning).
  // Other text may take glyphs from another face: it gets its whole row.
  constexpr int kSlack = 3;
  const QRect& box = shape.textBox;
  const int right = box.left() + box.width();
  const int top = box.top() - kSlack;
  const int bottom = box.bottom() + kSlack;
  int width = 0;
  for (const char c : shape.text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u >= asciiAdvance_.size()) {
      const int end = std::max(right, picture_ ? picture_->width() : 0) + kSlack;
      return QRect(QPoint(-kSlack, top), QPoint(end, bottom));
    }
    width += asciiAdvance_[u] + 1;
  }
  return QRect(QPoint(right - width - kSlack, top), QPoint(right + kSlack, bottom));
}

void C_VU::ShadedBox(QPainter& painter, const VuSpan& columns, int centre,
                     const std::vector<QColor>& colours, const QRegion* only) const {
  if (columns.Empty() || colours.empty()) return;
  if (only && !only->intersects(QRect(QPoint(columns.first, centre - (barWidth_ - 1)),
                                      QPoint(columns.last, centre + (barWidth_ - 1)))))
    return;
  for (int h = barWidth_ - 1; h >= 0; h -= barWidthStep_) {
    painter.fillRect(QRect(QPoint(columns.first, centre - h), QPoint(columns.last, centre + h)),
                     colours[static_cast<size_t>(barWidth_ - h - 1)]);
  }
}

void C_VU::ResetVU(int pIndex) {
  if (!picture_ || picture_->isNull()) return;
  QPainter painter(picture_);
  const int first = pIndex == -1 ? 0 : pIndex;
  const int last = pIndex == -1 ? numValue_ : pIndex;
  for (int i = first; i <= last; ++i) DrawVU(painter, i, kSilentDb, kSilentDb, {}, kNoHoldMark);
}

void C_VU::DrawVU(int pIndex, float pVU, float pPeak, std::string_view pStr, float pPH) {
  if (!picture_ || picture_->isNull()) return;
  QPainter painter(picture_);
  DrawVU(painter, pIndex, pVU, pPeak, pStr, pPH);
}

void C_VU::DrawVU(QPainter& painter, int pIndex, float pVU, float pPeak, std::string_view pStr,
                  float pPH) {
  if (!picture_ || red_.empty()) return;
  const VuBarShape shape = Shape(pIndex, pVU, pPeak, pStr, pPH);
  if (useBG_ == 0) {
    const float pixel = OnePixel();
    const float y = BarCentreY(pIndex);
    const float barEnd = barXStart_ + barLength_;
    painter.fillRect(QRect(QPoint(Px(barXStart_ + pixel), shape.centre - barWidth_),
                           QPoint(Px(barEnd), shape.centre + barWidth_)),
                     back_);
    // The text area is cleared before the bar, not after it, so a level
    // above 0 dB still shows in the right margin.
    painter.fillRect(QRect(QPoint(Px(barEnd + pixel), Px(y - halfHeight_[0])),
                           QPoint(picture_->width() - 1, Px(y + halfHeight_[0]))),
                     back_);
  }
  if (!pStr.empty()) currentFontSize_ = fontSize_[0];
  DrawShape(painter, shape);
}

VuBarShape C_VU::Shape(int pIndex, float pVU, float pPeak, std::string_view pStr, float pPH) const {
  VuBarShape shape;
  shape.index = pIndex;
  const float pixel = OnePixel();
  const float y = BarCentreY(pIndex);
  shape.centre = Px(y);
  const float v = std::max(LevelX(pVU), barXStart_);
  if (v > redX_) {
    shape.red = BoxSpan(redX_ + pixel, v);
    shape.green = BoxSpan(barXStart_, redX_);
  } else {
    shape.green = BoxSpan(barXStart_, v);
  }
  const float peak = std::max(LevelX(pPeak) - 3 * pixel, barXStart_);
  shape.peak = BoxSpan(peak, peak + 3 * pixel);
  if (pPH != kNoHoldMark) {
    const float hold = std::max(LevelX(pPH) - pixel, barXStart_);
    shape.hold = BoxSpan(hold, hold + pixel);
  }
  if (!pStr.empty()) {
    shape.text.assign(pStr);
    const int right = Px(static_cast<float>(PictureWidthTwips()) - textMargin_);
    shape.textBox = QRect(0, Px(y - halfHeight_[0]), std::max(right, 0), Px(textHeight_[0]) + 1);
  }
  return shape;
}

void C_VU::DrawShape(QPainter& painter, const VuBarShape& shape, const QRegion* only) const {
  if (red_.empty()) return;
  ShadedBox(painter, shape.red, shape.centre, red_, only);
  ShadedBox(painter, shape.green, shape.centre, green_, only);
  ShadedBox(painter, shape.peak, shape.centre, grey_, only);
  ShadedBox(painter, shape.hold, shape.centre, grey_, only);
  if (shape.text.empty() || (only && !only->intersects(TextArea(shape)))) return;
  painter.setFont(fonts_[0]);
  painter.setPen(fore_);
  const QStaticText* figure = Figure(shape.text);
  if (!figure) {
    painter.drawText(
        shape.textBox, Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip,
        QString::fromUtf8(shape.text.data(), static_cast<qsizetype>(shape.text.size())));
    return;
  }
  // Right-aligned at the box's top, where drawText puts it.
  const QRect& box = shape.textBox;
  painter.drawStaticText(QPointF(box.x() + box.width() - figure->size().width(), box.y()), *figure);
}

const QStaticText* C_VU::Figure(const std::string& text) const {
  constexpr size_t kFiguresKept = 1024;
  // Other text than ASCII may take glyphs from other faces: laid out afresh.
  for (char c : text)
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) return nullptr;
  auto it = figures_.find(text);
  if (it != figures_.end()) return &it->second;
  if (figures_.size() >= kFiguresKept) figures_.clear();
  QStaticText figure(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  figure.setTextFormat(Qt::PlainText);
  figure.prepare(QTransform(), fonts_[0]);
  return &figures_.emplace(text, std::move(figure)).first->second;
}

void C_VU::DrawScale() {
  if (picture_ && !picture_->isNull()) DrawScaleToPB(*picture_);
}

void C_VU::DrawScaleToPB(QImage& pPic) {
  if (pPic.isNull()) return;
  QPainter painter(&pPic);
  if (!painter.isActive()) return;
  const float pixel = OnePixel();
  const float t = BarThickness();
  painter.setPen(fore_);

  painter.setFont(fonts_[1]);
  currentFontSize_ = fontSize_[1];
  for (int i = 0; i <= numValue_; ++i) {
    const float y =
        (barMargin_ + t) * static_cast<float>(i) + topMargin_ + t / 2.0f - halfHeight_[1];
    DrawTextAt(painter, labelOffset_[static_cast<size_t>(i)] + labelX_, y, ascent_[1],
               labels_[static_cast<size_t>(i)]);
  }

  painter.setFont(fonts_[2]);
  currentFontSize_ = fontSize_[2];
  const float y0 = static_cast<float>(numValue_ + 1) * t + topMargin_ +
                   static_cast<float>(numValue_) * barMargin_ + barMargin_ + pixel;
  const int meterHeight = (picture_ ? picture_->height() : pPic.height()) * TwipsPerPixel();
  const int tickBottom = Px(static_cast<float>(meterHeight) - 2 * pixel);
  auto tick = [&](float xt, const char* text) {
    painter.fillRect(QRect(QPoint(Px(xt), Px(y0)), QPoint(Px(xt), tickBottom)), fore_);
    if (*text) DrawTextAt(painter, xt + 2 * pixel, y0 + pixel, ascent_[2], QString(text));
  };
  tick(barXStart_ + barLength_, "0db");
  static constexpr struct {
    float db;
    const char* text;
  } kTicks[] = {{-6.0f, "-6"},   {-12.0f, "-12"}, {-20.0f, "-20"}, {-30.0f, ""},
                {-40.0f, "-40"}, {-60.0f, ""},    {-99.9f, ""}};
  for (const auto& k : kTicks) tick(NearestX(k.db), k.text);
}

int C_VU::PictureHeight() const {
  const float pixel = OnePixel();
  const float t = BarThickness();
  return static_cast<int>(RoundToPixel(t * static_cast<float>(numValue_ + 1) + topMargin_ +
                                    static_cast<float>(numValue_) * barMargin_ + barMargin_ +
                                    2 * pixel + fontSize_[2] * pixel + 6 * pixel));
}

}  // namespace varn
