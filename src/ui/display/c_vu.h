#pragma once
// One horizontal bar meter with a bar per side of a channel, drawn into a
// picture: a shaded RMS bar that turns red above the red point, a grey peak
// mark, a thin grey hold mark and the numeric level at the right end; and,
// on request, the dB scale with the bar labels. Sizes and positions are in
// twips (TwipsPerPixel() twips to a pixel), levels in dB.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QStaticText>
#include <QString>
#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace varn {

// Picture columns first..last (inclusive); empty when last < first.
struct VuSpan {
  int first = 0;
  int last = -1;
  bool Empty() const { return last < first; }
  bool operator==(const VuSpan&) const = default;
};

// What one DrawVU call puts on the picture, in pixels: the boxes of the
// bar (each as tall as the bar) and the numeric text. Two equal shapes
// draw the same pixels, so a live meter redraws only where shapes differ.
struct VuBarShape {
  int index = 0;
  int centre = 0;  // the bar's centre row
  VuSpan red, green, peak, hold;
  QRect textBox;  // the text's layout box; its ink is TextArea
  std::string text;
  bool operator==(const VuBarShape&) const = default;
};

class C_VU {
 public:
  C_VU();

  // The target picture. The meter keeps the pointer: drop it with
  // ClosePictureBox before the image goes away.
  void SetPictureBox(QImage* picture) { picture_ = picture; }
  QImage* PictureBox() const { return picture_; }
  void ClosePictureBox() { picture_ = nullptr; }

  // pType 0 numeric text, 1 bar labels, 2 scale texts; points, default 8.
  void SetFontSize(int pType, float pValue);
  float FontSize(int pType) const;
  // The size last applied; 0 makes the next text apply its font afresh.
  void SetCurrentFontSize(float size) { currentFontSize_ = size; }
  float CurrentFontSize() const { return currentFontSize_; }
  // The family of all three fonts; empty means the UI face.
  void SetFontFamily(const QString& family);

  // 0: the meter clears what it draws over; non-zero: the caller restores
  // the background before drawing.
  void SetUseBG(int useBG) { useBG_ = useBG; }
  // The picture's colours (0x00BBGGRR): clearing, and scale lines and texts.
  void SetBackColor(int bgr);
  int BackColor() const { return backColor_; }
  void SetForeColor(int bgr);
  int ForeColor() const { return foreColor_; }

  // Highest bar index; resizes the labels (emptied) and their offsets.
  void SetNumValue(int numValue);
  int NumValue() const { return numValue_; }
  // Half-thickness of a bar in pixels (a bar is 2 x BarWidth - 1 thick) and
  // the step of its shading; both at least 1.
  void SetBarWidth(int pixels);
  int BarWidth() const { return barWidth_; }
  void SetBarWidthStep(int step);
  int BarWidthStep() const { return barWidthStep_; }
  void SetBarMargin(float twips) { barMargin_ = twips; }
  float BarMargin() const { return barMargin_; }
  void SetTopMargin(float twips) { topMargin_ = twips; }
  float TopMargin() const { return topMargin_; }
  void SetRedPoint(float db) { redPoint_ = db; }
  float RedPoint() const { return redPoint_; }

  // Bar start x, bar end margin, label x, text margin from the right edge;
  // -1 keeps the stored value.
  void SetMargin(float pBarXStart, float pBarXEnd, float pLabelX, float pDBXneg);
  int BarXStart() const;
  int BarXEnd() const;

  // pIsNum 0: bars labelled "L", "R", "L", ...; otherwise "1", "2", ...
  void SetStrType(int pIsNum);
  void SetStr(int index, const QString& pStr);

  // Recomputes bar length, red x, colours, font measures and label offsets,
  // then clears the picture. Call after any size, margin or font change.
  void SetParms();

  // Bar pIndex (every bar for -1) drawn empty, without a hold mark.
  void ResetVU(int pIndex);
  // Bar pIndex at RMS pVU with peak pPeak, text pStr (UTF-8) and hold pPH
  // (99: no hold mark). The painter form draws with a painter already open
  // on the picture, so a whole meter update shares one.
  void DrawVU(int pIndex, float pVU, float pPeak, std::string_view pStr, float pPH);
  void DrawVU(QPainter& painter, int pIndex, float pVU, float pPeak, std::string_view pStr,
              float pPH);

  // The shape DrawVU gives these arguments (with UseBG set), and its
  // drawing; with `only`, parts outside that area are skipped.
  VuBarShape Shape(int pIndex, float pVU, float pPeak, std::string_view pStr, float pPH) const;
  void DrawShape(QPainter& painter, const VuBarShape& shape, const QRegion* only = nullptr) const;
  // A figure's kept layout; nullptr for text that is not plain ASCII.
  const QStaticText* Figure(const std::string& text) const;
  // The rows of the bar's boxes over `columns`, and where its text may
  // leave ink (a little more than the glyphs need).
  QRect BoxArea(const VuBarShape& shape, const VuSpan& columns) const;
  QRect TextArea(const VuBarShape& shape) const;

  // Bar labels and the dB scale, into the meter's picture or into pPic.
  void DrawScale();
  void DrawScaleToPB(QImage& pPic);

  // The picture height in twips that the bars, the scale and its text need.
  int PictureHeight() const;

 private:
  float BarThickness() const;  // t, twips
  float BarCentreY(int index) const;
  float LevelX(float db) const;  // interpolated flavour
  float NearestX(float db) const;
  int PictureWidthTwips() const;
  // The columns of a box from x1 to x2 (twips); none unless x2 > x1.
  static VuSpan BoxSpan(float x1, float x2);
  // The shading loop: nested boxes from the edge inwards, brightest inside.
  void ShadedBox(QPainter& painter, const VuSpan& columns, int centre,
                 const std::vector<QColor>& colours, const QRegion* only) const;
  void MakeFonts();
  void UpdateLabelOffsets();

  QImage* picture_ = nullptr;
  int useBG_ = 0;
  int backColor_ = 0x000000;
  int foreColor_ = 0xC0C0C0;
  float redPoint_ = -20.0f;
  float barXStart_ = 0.0f;
  float barXEnd_ = 0.0f;
  float labelX_ = 60.0f;
  float textMargin_ = 120.0f;
  float barMargin_ = 60.0f;
  float topMargin_ = 75.0f;
  int barWidth_ = 4;
  int barWidthStep_ = 1;
  int numValue_ = 0;
  std::array<float, 3> fontSize_{8.0f, 8.0f, 8.0f};
  float currentFontSize_ = 0.0f;
  QString fontFamily_;

  // Derived by SetParms.
  float barLength_ = 0.0f;
  float redX_ = 0.0f;
  std::vector<QColor> red_, green_, grey_;
  std::array<QFont, 3> fonts_;
  std::array<float, 3> textHeight_{};
  std::array<float, 3> halfHeight_{};
  std::array<float, 3> wideCharWidth_{};
  std::array<int, 3> ascent_{};
  QFontMetrics textMetrics_{QFont()};    // font 0's
  std::array<int, 128> asciiAdvance_{};  // font 0's, for TextArea
  // Laying a figure out costs several times drawing it, and a meter shows
  // the same few hundred figures over and over: their layouts in font 0.
  mutable std::unordered_map<std::string, QStaticText> figures_;
  std::vector<QString> labels_;
  std::vector<float> labelOffset_;
  QColor back_;
  QColor fore_;
};

}  // namespace varn
