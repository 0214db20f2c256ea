#pragma once
// One channel's panel: its record buttons, level figures, name, meter,
// waveform and spectrum views with the marker and frequency read-out, and
// the frequency scale. It draws what the engine hands the window for its
// channel; it computes nothing of its own.

#include <QImage>
#include <QLabel>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"
#include "ui/display/meter_drawing.h"
#include "ui/display/spectrum_view.h"
#include "ui/display/waveform_view.h"
#include "ui/main_window/image_view.h"
#include "ui/main_window/level_figures.h"
#include "ui/main_window/panel_alarm.h"
#include "ui/main_window/panel_geometry.h"
#include "ui/main_window/record_buttons.h"

namespace varn {

class C_VU;
class RepaintPacer;

// A frame's colours: while its condition holds, once it has ended, and the
// text on the first.
struct FrameColours {
  QColor strong;
  QColor pale;
  QColor text;
};

// The name label: shows the channel name in its face at its size or, when
// the name is too wide for the label, at the largest size that fits down to
// 60 % of it; a name that does not fit even then is cut with "…" and shows
// whole as the tooltip. Reports a released mouse button.
class NameLabel : public QLabel {
 public:
  using QLabel::QLabel;
  void SetNameFont(const QString& face, float points);
  void ShowName(const QString& name);
  // The name as given, whether shown whole or cut.
  const QString& FullName() const { return full_; }
  std::function<void()> onRelease;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString face_;
  QString full_;
  float points_ = 18.0f;
};

// The spectrum marker, dragged up and down with the left button.
class MarkerWidget : public QWidget {
 public:
  using QWidget::QWidget;
  std::function<void(int pointerYTwips)> onDrag;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
};

struct PanelOptions {
  bool showRecButton = true;
  bool showLevelValues = true;
  bool showChName = true;
  QString fontFamily;  // empty: the UI face
  float redPoint = -20.0f;
  bool stereo = true;             // two bars (L and R) or one
  RepaintPacer* pacer = nullptr;  // the window's; nullptr repaints at once
};

class ChannelPanel {
 public:
  ChannelPanel(int ch, QWidget* container, const PanelRects& rects, const PanelLayout& layout,
               const PanelOptions& options);
  ~ChannelPanel();
  ChannelPanel(const ChannelPanel&) = delete;
  ChannelPanel& operator=(const ChannelPanel&) = delete;

  int Channel() const { return ch_; }
  RecordButtons* Buttons() { return buttons_; }
  LevelFigures* Levels() { return levels_; }
  NameLabel* Name() { return name_; }
  // The views show the newest block once they are asked for.
  ImageView* Meter() {
    DrawPending();
    return meter_;
  }
  const QImage& MeterBackground() const { return meterBackground_; }
  ImageView* Wave() { return wave_; }
  ImageView* Spectrum() {
    DrawPending();
    return fft_;
  }
  ImageView* Scale() { return scale_; }
  MarkerWidget* Marker() { return marker_; }
  QLabel* Frequency() { return freq_; }
  C_VU& Vu() {
    DrawPending();
    return *vu_;
  }

  // The meter's background with its scale and mode caption, shown at once.
  // LUFS mode lays the meter out for one bar, as a mono channel's.
  void DrawMeterBackground(MeterTextMode mode);
  // One analysed block: the bars over the background, redrawn where they
  // changed. With the window's pacer, the meter and the spectrum draw the
  // newest block's values once per display frame: a block that a newer one
  // replaces before the frame is never drawn, as it would never be seen.
  void DrawMeter(std::span<const VuBarValues> bars);
  // The bars the meter shows now.
  const std::vector<VuBarShape>& ShownBars() {
    DrawPending();
    return liveMeter_.Shown();
  }
  // Draws what waits for the frame (the frame's own work; anything that
  // changes the meter or the spectrum otherwise runs it first).
  void DrawPending();
  void DrawWaveform(std::span<const Frame> block, StereoMode mode, double stereoScale,
                    double monoScale);
  void DrawSpectrum(std::span<const double> averaged, std::span<const double> hold, float fftOffset,
                    float fftRate);
  // At channel start: the scale strip and the waveform's samples per column.
  void ChannelStarted(int sampleRate, int segmentLength);
  // A channel that has not run yet: the frequency scale for its rate and the
  // spectrum's grid, so the window looks finished before the first start.
  void ShowIdleViews(int sampleRate, float fftOffset);
  // The spectrum's grid alone (the 0 line moved while the channel stands).
  void ShowGrid(float fftOffset);
  // The channel stopped: an empty waveform, the spectrum's bare grid and the
  // meter's empty scale.
  void ResetViews(float fftOffset);
  // The frequency read-out; an empty text hides it, so the spectrum's
  // repaints skip it.
  void ShowFrequency(const QString& text);
  // Puts the marker's centre `percent` of the view's height above its bottom.
  void PlaceMarker(float percent);
  // The line's trouble at a glance: the frame round the panel and the
  // name's background in its colour, the input's trouble over the
  // waveform, a latched frame's count and the badges. The empty look
  // leaves the panel exactly as it is without them.
  void ShowAlarm(const AlarmLook& look);
  const AlarmLook& ShownAlarm() const { return shownAlarm_; }
  // The frame's edges: top, bottom, left, right (nullptr before the first
  // alarm); the text over the waveform; the count and badges (in the
  // container, like the name).
  QWidget* FrameEdge(int i) const { return frameEdges_.at(static_cast<size_t>(i)); }
  QLabel* InputText() const { return inputText_; }
  QLabel* CountText() const { return count_; }
  QLabel* WriteFailBadge() const { return writeBadge_; }
  QLabel* DefaultDeviceBadge() const { return defaultBadge_; }

 private:
  // The meter renderer's sizes, margins and fonts from the panel scale.
  void ConfigureMeter();
  void CopyBackgroundToMeter();
  void DrawScale(int sampleRate);
  void DrawOrDefer();
  void BuildAlarmWidgets();
  void PlaceMarks(const AlarmLook& look, const FrameColours& colours);

  int ch_;
  float panelScale_;
  int rows_;
  PanelOptions options_;
  bool meterStereo_ = true;  // the meter's layout: two bars, or one
  int sampleRate_ = 0;
  int samplesPerColumn_ = 1;
  WaveGeometry waveGeometry_{};
  SpectrumView spectrum_;
  RecordButtons* buttons_ = nullptr;
  LevelFigures* levels_ = nullptr;
  NameLabel* name_ = nullptr;
  ImageView* meter_ = nullptr;
  QImage meterBackground_;
  LiveMeter liveMeter_;
  QWidget* waveFrame_ = nullptr;
  ImageView* wave_ = nullptr;
  QWidget* fftFrame_ = nullptr;
  ImageView* fft_ = nullptr;
  MarkerWidget* marker_ = nullptr;
  QLabel* freq_ = nullptr;
  ImageView* scale_ = nullptr;
  std::unique_ptr<C_VU> vu_;
  // The newest values, waiting for the frame.
  std::vector<VuBarValues> pendingBars_;
  std::vector<std::string> pendingTexts_;  // what pendingBars_' texts view
  bool barsPending_ = false;
  std::vector<double> pendingAveraged_;
  std::vector<double> pendingHold_;
  float pendingOffset_ = 0.0f;
  float pendingRate_ = 0.0f;
  bool spectrumPending_ = false;
  bool drawQueued_ = false;  // DrawPending waits in the pacer for the frame
  TwipRect box_;             // the whole panel, in the container
  QPalette namePalette_;     // the name's own colours, without an alarm
  QRect nameGeometry_;       // the name's row, pixels
  AlarmLook shownAlarm_;
  std::array<QWidget*, 4> frameEdges_{};
  QLabel* inputText_ = nullptr;
  QLabel* count_ = nullptr;
  QLabel* writeBadge_ = nullptr;
  QLabel* defaultBadge_ = nullptr;
};

// Places a widget at a rectangle given in twips.
void PlaceInTwips(QWidget* widget, const TwipRect& rect);

}  // namespace varn
