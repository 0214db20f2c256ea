#pragma once
// What the engine asks of the screen. The monitor window implements it; the
// headless runner and the tests implement what they need. Every call has a
// default that does nothing, so a runner without a screen stays small.

#include "analysis/analysis_output.h"
#include "audio/monitor_output.h"

namespace varn {

class EngineView : public AnalysisView, public MonitorButtonLook {
 public:
  // Button 1 of the channel's record pair: on while it is monitored.
  void SetMonitorLook(int /*ch*/, bool /*monitoring*/) override {}
  // Button 0 of the channel's record pair: on while the channel runs (or
  // waits for its lost device to come back).
  virtual void SetRecordButton(int /*ch*/, bool /*on*/) {}
  // The busy pointer while a channel starts.
  virtual void SetBusy(bool /*busy*/) {}
  // The channel has started: its rate and segment length are known now
  // (the frequency scale and the waveform's samples per column follow them).
  virtual void ChannelStarted(int /*ch*/) {}
  // The meter's numeric text mode changed: redraw the meter.
  virtual void RedrawMeter(int /*ch*/) {}
  // Channel 0's waveform view: its height in twips and the screen's twips
  // per pixel, for the waveform trace scales. 0 when there is no view.
  virtual int WaveformHeightTwips() const { return 0; }
  virtual int TwipsPerPixel() const { return 15; }
};

}  // namespace varn
