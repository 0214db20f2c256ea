#pragma once
// The frequency labels under a spectrum view: "|25", "|63", "|1k", "|2.5k"
// and so on, each at its place on the view's logarithmic axis from 25 Hz to
// the Nyquist frequency. Drawn when the channel starts.

#include <QImage>
#include <QString>
#include <functional>
#include <vector>

namespace varn {

struct FrequencyScaleStyle {
  int backColor = 0x000000;
  int foreColor = 0xC0C0C0;
  QString family;  // empty: the UI face
  float points = 8.0f;
};

struct FrequencyMark {
  int x = 0;     // left edge of the text
  QString text;  // "|" and f below 1000 Hz, else "|", f / 1000 and "k"
};
// The labels a picture `width` wide gets, left to right; those past the
// Nyquist frequency lie beyond the right edge. Given the labels' widths, a
// label that starts inside the picture but would run past its right edge
// is moved left to end at the edge, so it shows whole.
std::vector<FrequencyMark> FrequencyMarks(
    int width, int sampleRate, const std::function<int(const QString&)>& textWidth = nullptr);

// Clears `picture` and prints the labels along its top; a picture narrower
// than 450 pixels gets every other one (25, 63, 160, 400 Hz, ...).
void DrawFrequencyScale(QImage& picture, int sampleRate, const FrequencyScaleStyle& style = {});

}  // namespace varn
