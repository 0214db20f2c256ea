#pragma once
// Where the analysis sends what it finds: events to a log (the live program's
// event log, or the printer of `varn analyze`) and what is drawn to the
// channel's views. The analysis itself never draws and never writes files.

#include <span>
#include <string_view>

#include "analysis/analysis_types.h"

namespace varn {

class EventLog;

class AnalysisEvents {
 public:
  virtual ~AnalysisEvents() = default;
  // side: kLeftSide, kRightSide, or kWholeChannel for an event of the channel.
  virtual void Event(std::string_view message, int channel, int side) = 0;
};

// The live program's connection: every event becomes an event-log line.
class EventLogEvents final : public AnalysisEvents {
 public:
  explicit EventLogEvents(EventLog& log) : log_(log) {}
  void Event(std::string_view message, int channel, int side) override;

 private:
  EventLog& log_;
};

// The arguments of one DrawVU call: levels in dB, the numeric text, and the
// hold level (kNoHoldMark draws none).
struct VuBarValues {
  int index = 0;      // bar 0 or 1
  float vu = -99.0f;  // mean RMS of the meter window
  float peak = -99.0f;
  std::string_view text;
  float hold = 0.0f;
};
inline constexpr float kNoHoldMark = 99.0f;

// Spectrum bins 0..kSpectrumBins-1 are handed over; bins 1..1024 are drawn,
// bin j standing for j * rate / 2048 Hz.
inline constexpr int kSpectrumBins = 1025;

// The drawing side of a channel's panel. Every call has a default that does
// nothing, so a reader without a screen implements only what it needs.
class AnalysisView {
 public:
  virtual ~AnalysisView() = default;
  // One meter update: the background is restored, then each bar drawn.
  virtual void DrawMeter(int /*channel*/, std::span<const VuBarValues> /*bars*/) {}
  // Level figures box: cell 0 "Max L :", 1 "Max R :", 2 "Min L :", 3 "Min R :".
  virtual void SetLevelFigure(int /*channel*/, int /*cell*/, std::string_view /*text*/) {}
  virtual void RedrawLevelFigures(int /*channel*/) {}
  // Averaged spectrum and hold curve, kSpectrumBins values each.
  virtual void DrawSpectrum(int /*channel*/, std::span<const double> /*averaged*/,
                            std::span<const double> /*hold*/) {}
  // The analysed block, for the scrolling waveform.
  virtual void DrawWaveform(int /*channel*/, std::span<const Frame> /*block*/) {}
  // The channel stopped while the pass ran: clear its spectrum, waveform and
  // meter (ResetViews).
  virtual void ResetViews(int /*channel*/) {}
};

}  // namespace varn
