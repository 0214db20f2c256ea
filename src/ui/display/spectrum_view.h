#pragma once
// The spectrum view of a channel's panel: a dB grid whose 0 line the user
// moves (FFTOffset_, percent of the height from the bottom), the averaged
// spectrum as one bar per pixel column on a logarithmic frequency axis from
// 25 Hz to the Nyquist frequency, and the hold curve as a polyline.
// One object per channel keeps the grid image and the column of every bin,
// so a block's drawing reuses them, and remembers what it drew on the grid,
// so a block restores and hands on only where its drawing differs.

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <array>
#include <span>

#include "analysis/analysis_output.h"
#include "ui/display/spectrum_shape.h"

namespace varn {

class SpectrumView {
 public:
  SpectrumView();

  // The grid labels' font (the UI font) and the colours, 0x00BBGGRR.
  void SetFont(const QFont& font);
  void SetBackColor(int bgr);
  // The size of the marker drawn over the 0 line's left end; grid labels
  // keep clear of it.
  void SetMarker(int pixels);
  // The grid alone, as a channel that is not running shows it.
  void DrawGrid(QImage& picture, float fftOffset) { Draw(picture, {}, {}, fftOffset, 1.0f, 0); }

  // Draws the view for one block: kSpectrumBins averaged and hold values,
  // the grid's 0 line fftOffset percent above the bottom, bars scaled by
  // |fftRate|, bins placed for sampleRate. Returns the area that changed:
  // the whole picture when it was altered elsewhere since the last block,
  // else where the last block and this one drew.
  QRegion Draw(QImage& picture, std::span<const double> averaged, std::span<const double> hold,
               float fftOffset, float fftRate, int sampleRate);

  // The grid row of a level v (dB), and the pixel column of bin j.
  static int GridY(double v, float fftOffset, int height);
  static int BinColumn(int j, int width, int sampleRate);

 private:
  // True when the grid was drawn afresh.
  bool PrepareGrid(const QSize& size, float fftOffset);
  void PrepareColumns(int width, int sampleRate);
  // The bar tops and hold curve of one block.
  void MakeShape(SpectrumShape& shape, std::span<const double> averaged,
                 std::span<const double> hold, float fftRate, int sampleRate);
  // Visits the columns of the bins, each once with the mean of its bins.
  template <typename Visit>
  void WalkColumns(std::span<const double> values, int width, Visit visit) const;

  QFont font_;
  int markerPixels_ = 0;
  int backColor_ = 0x000000;
  QImage grid_;
  float gridOffset_ = -1.0f;
  bool gridValid_ = false;
  int columnsWidth_ = -1;
  int columnsRate_ = -1;
  bool columnsValid_ = false;
  std::array<int, kSpectrumBins> columnX_{};
  SpectrumShape shown_;    // the last block's
  SpectrumShape next_;     // this block's, kept to reuse its memory
  qint64 pictureKey_ = 0;  // the picture as the last block left it
};

}  // namespace varn
