// The main window as the engine's view: each call goes to its channel's panel.

#include <QApplication>

#include "analysis/loudness_bar.h"
#include "ui/main_window/channel_panel.h"
#include "ui/main_window/frm_main.h"

namespace varn {

namespace {
bool Valid(int ch, int count) { return ch >= 0 && ch < count; }
}  // namespace

void FrmMain::DrawMeter(int ch, std::span<const VuBarValues> bars) {
  if (!Valid(ch, PanelCount())) return;
  // The block's levels give way to the loudness the archive side measures.
  if (engine_ && engine_->Channel(ch).analysis.meterTextMode == MeterTextMode::Lufs) {
    LoudnessBar(loudnessOf(ch), loudnessBar_);
    bars = loudnessBar_.Bars();
  }
  Panel(ch).DrawMeter(bars);
}

void FrmMain::SetLevelFigure(int ch, int cell, std::string_view text) {
  if (Valid(ch, PanelCount()))
    Panel(ch).Levels()->SetCell(cell,
                                QString::fromUtf8(text.data(), static_cast<int>(text.size())));
}

void FrmMain::RedrawLevelFigures(int ch) {
  if (Valid(ch, PanelCount())) Panel(ch).Levels()->MarkChanged();
}

void FrmMain::DrawSpectrum(int ch, std::span<const double> averaged, std::span<const double> hold) {
  if (!Valid(ch, PanelCount()) || !engine_) return;
  Panel(ch).DrawSpectrum(averaged, hold, engine_->Channel(ch).fftOffset, engine_->Misc().fftRate);
}

void FrmMain::DrawWaveform(int ch, std::span<const Frame> block) {
  if (!Valid(ch, PanelCount()) || !engine_) return;
  const MiscSettings& m = engine_->Misc();
  Panel(ch).DrawWaveform(block, engine_->Channel(ch).analysis.stereoMode, m.stereoTraceScale,
                         m.monoTraceScale);
}

void FrmMain::ResetViews(int ch) {
  if (Valid(ch, PanelCount()) && engine_) Panel(ch).ResetViews(engine_->Channel(ch).fftOffset);
}

void FrmMain::SetMonitorLook(int ch, bool monitoring) {
  if (Valid(ch, PanelCount())) Panel(ch).Buttons()->SetState(1, monitoring ? 2 : 0);
}

void FrmMain::SetRecordButton(int ch, bool on) {
  if (Valid(ch, PanelCount())) Panel(ch).Buttons()->SetState(0, on ? 2 : 0);
}

void FrmMain::SetBusy(bool busy) {
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void FrmMain::RedrawMeter(int ch) {
  if (Valid(ch, PanelCount()) && engine_)
    Panel(ch).DrawMeterBackground(engine_->Channel(ch).analysis.meterTextMode);
}

void FrmMain::ChannelStarted(int ch) {
  if (!Valid(ch, PanelCount()) || !engine_) return;
  const ChannelRecord& c = engine_->Channel(ch);
  Panel(ch).ChannelStarted(c.capture.SampleRate, c.capture.Segments.segmentLength);
}

}  // namespace varn
