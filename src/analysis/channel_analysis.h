#pragma once
// The analysis state of one channel and the analysis pass over all channels.
// Everything a block needs is sized when the channel starts; analysing a
// block allocates nothing (an event's message text aside).

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"
#include "analysis/click_detector.h"
#include "analysis/level_meter.h"
#include "analysis/level_watch.h"
#include "analysis/low_level_monitor.h"
#include "analysis/monitor_settings.h"
#include "analysis/spectrum_analyser.h"
#include "util/clock.h"
#include "util/timing.h"

namespace varn {

struct AnalysisFormat {
  int32_t sampleRate = 0;
  int32_t channels = 0;  // 1 or 2
  int32_t bitsPerSample = 16;
  int32_t samplesPerBuffer = 0;  // S; a segment is S / 6 frames
};

// What every block is analysed with.
struct AnalysisContext {
  const MonitorSettings* settings = nullptr;
  const Clock* clock = nullptr;
  AnalysisEvents* events = nullptr;  // may be null
  AnalysisView* view = nullptr;      // may be null
};

class ChannelAnalysis {
 public:
  // Kept by the caller: the update cycle counts ticks with a completed
  // buffer (CountTick); the display choices come from the settings and menus.
  int32_t TickCount = 0;
  StereoMode stereoMode = StereoMode::Stereo;
  MeterTextMode meterTextMode = MeterTextMode::Rms;

  // Channel start: sizes the block, the meter and hold windows, the
  // low-level window and the spectrum histories from the format and
  // settings, and resets every detector and TickCount. False (and nothing
  // analysed until the next start) for a format that cannot be analysed.
  bool Start(const AnalysisFormat& format, const MonitorSettings& settings);
  // New settings while the channel runs (`before` were in force until now).
  // Thresholds are read block by block and need nothing; the windows the
  // settings size (peak hold, spectrum averaging, low-level span) are sized
  // afresh. What the detectors reported stands and the run's level figures
  // stay, so a line reported low or over is reported again only when it
  // comes back.
  void ApplySettings(const MonitorSettings& before, const MonitorSettings& now);
  bool Ready() const { return ready_; }
  const AnalysisFormat& Format() const { return format_; }
  int32_t SegmentLength() const { return static_cast<int32_t>(block_.size()); }

  // TickCount + 1; it stays at 2147483647 instead of wrapping.
  void CountTick();

  // One segment of interleaved capture samples, converted into the
  // channel's block by gain and stereo mode.
  std::span<const Frame> Convert(const int16_t* samples, float recLevelDb);

  // The analysers in their order: spectrum, click detector (PuchiSense_ > 0),
  // low-level monitor (TickCount > 1), metering with the meter drawing, the
  // waveform; then, once TickCount > 1, the level figures and the over-level
  // monitor. A failing step is skipped; the others still run. Returns the
  // block's level record. followsPrevious false: audio is missing before
  // the block, and no click is looked for across that gap.
  LevelRecord AnalyseBlock(int channel, std::span<const Frame> block, const AnalysisContext& ctx,
                           bool followsPrevious = true);

  MeterState meter;
  LevelWatchState levels;
  LowLevelMonitor lowLevel;
  ClickDetector click;
  SpectrumAnalyser spectrum;

 private:
  bool ready_ = false;
  AnalysisFormat format_;
  std::vector<Frame> block_;
  MeterDrawing drawing_;
};

}  // namespace varn
