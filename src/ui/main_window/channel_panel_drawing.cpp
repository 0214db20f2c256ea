// What a panel draws for its channel: the meter, the waveform, the spectrum,
// the frequency scale, and the bare views (grid and scale) of a channel that
// stands.

#include <algorithm>
#include <cmath>

#include "ui/display/c_vu.h"
#include "ui/display/frequency_scale.h"
#include "ui/display/image_pixels.h"
#include "ui/display/meter_drawing.h"
#include "ui/display/waveform_view.h"
#include "ui/fonts/font_cache.h"
#include "ui/main_window/channel_panel.h"
#include "ui/main_window/repaint_pacer.h"
#include "ui/twips.h"
#include "util/error_catch.h"

namespace varn {

namespace {
float Clamped(float v, float lo, float hi) { return std::clamp(v, lo, hi); }
// Real to integer as everywhere in the program: nearest, ties to even.
float Rounded(float v) { return std::nearbyint(v); }
}  // namespace

void ChannelPanel::ConfigureMeter() {
  const float s = panelScale_;
  const int r = std::max(rows_, 1);
  C_VU& vu = *vu_;
  vu.SetPictureBox(&meter_->Image());
  vu.SetFontFamily(options_.fontFamily);
  vu.SetUseBG(1);  // the panel restores the background itself
  const float f = Clamped(22.0f * s, 10.0f, 16.0f);
  vu.SetFontSize(0, f);
  vu.SetFontSize(1, f);
  vu.SetFontSize(2, Clamped(11.0f * s, 9.0f, 12.0f));
  vu.SetMargin(Rounded(720.0f * s), Rounded(1400.0f * s), 0.0f, Rounded(150.0f * s));
  vu.SetBarWidthStep(static_cast<int>(Rounded(2.0f * s)));
  vu.SetBarMargin(Rounded(300.0f / static_cast<float>(r) * s));
  if (!meterStereo_) {
    vu.SetNumValue(0);
    vu.SetBarWidth(static_cast<int>(Rounded((20.0f / static_cast<float>(r) + 13.0f) * s)));
    vu.SetTopMargin(Rounded(840.0f / static_cast<float>(r) * s));
  } else {
    vu.SetNumValue(1);
    vu.SetBarWidth(static_cast<int>(Rounded((10.0f / static_cast<float>(r) + 13.0f) * s)));
    vu.SetTopMargin(Rounded(420.0f / static_cast<float>(r) * s));
    vu.SetStrType(0);
  }
  vu.SetRedPoint(options_.redPoint);
  vu.SetParms();
  // The grid labels in the window's own size; only the scale strip is smaller.
  QFont gridFont(options_.fontFamily);
  gridFont.setPointSizeF(kDefaultFontPoints);
  spectrum_.SetFont(gridFont);
}

void ChannelPanel::DrawMeterBackground(MeterTextMode mode) {
  DrawPending();
  TrappedStep([&] {
    const bool stereo = options_.stereo && mode != MeterTextMode::Lufs;
    if (stereo != meterStereo_) {
      meterStereo_ = stereo;
      ConfigureMeter();
    }
    MeterCaptionFont caption;
    caption.family = options_.fontFamily;
    caption.points = 9.0f;
    caption.panelScale = panelScale_;
    varn::DrawMeterBackground(*vu_, meterBackground_, mode, caption);
    meter_->MarkAllChanged();
  });
}

void ChannelPanel::DrawMeter(std::span<const VuBarValues> bars) {
  // The bars' texts are views into the caller's storage: kept as copies.
  pendingTexts_.resize(bars.size());
  pendingBars_.assign(bars.begin(), bars.end());
  for (size_t i = 0; i < bars.size(); ++i) {
    pendingTexts_[i].assign(bars[i].text);
    pendingBars_[i].text = pendingTexts_[i];
  }
  barsPending_ = true;
  DrawOrDefer();
}

// With the window's pacer at its frame; without one, at once. The meter and
// the spectrum of a block share one piece of work, queued once until it runs.
void ChannelPanel::DrawOrDefer() {
  if (!options_.pacer) {
    DrawPending();
    return;
  }
  if (drawQueued_) return;
  drawQueued_ = true;
  options_.pacer->Defer(this, [this] {
    drawQueued_ = false;
    DrawPending();
  });
}

void ChannelPanel::DrawPending() {
  if (barsPending_) {
    barsPending_ = false;
    TrappedStep(
        [&] { meter_->MarkChanged(liveMeter_.Update(*vu_, meterBackground_, pendingBars_)); });
  }
  if (spectrumPending_) {
    spectrumPending_ = false;
    TrappedStep([&] {
      QImage& image = fft_->Image();
      if (image.isNull() || sampleRate_ <= 0) return;
      fft_->MarkChanged(spectrum_.Draw(image, pendingAveraged_, pendingHold_, pendingOffset_,
                                       pendingRate_, sampleRate_));
    });
  }
}

void ChannelPanel::DrawWaveform(std::span<const Frame> block, StereoMode mode, double stereoScale,
                                double monoScale) {
  TrappedStep([&] {
    QImage& image = wave_->Image();
    if (image.isNull()) return;
    waveGeometry_.stereoScale = stereoScale;
    waveGeometry_.monoScale = monoScale;
    const int before = wave_->RingStart();
    int start = before;
    DrawWaveformRing(image, start, block, mode, waveGeometry_);
    wave_->SetRingStart(start);
    // What the screen shows moves left by the columns drawn; only those are
    // painted afresh.
    const int moved = start >= before ? start - before : start + image.width() - before;
    if (moved == 0)
      wave_->MarkAllChanged();
    else
      wave_->MarkScrolled(-moved);
  });
}

void ChannelPanel::DrawSpectrum(std::span<const double> averaged, std::span<const double> hold,
                                float fftOffset, float fftRate) {
  pendingAveraged_.assign(averaged.begin(), averaged.end());
  pendingHold_.assign(hold.begin(), hold.end());
  pendingOffset_ = fftOffset;
  pendingRate_ = fftRate;
  spectrumPending_ = true;
  DrawOrDefer();
}

void ChannelPanel::ChannelStarted(int sampleRate, int segmentLength) {
  DrawPending();  // at the rate it came with
  TrappedStep([&] {
    sampleRate_ = sampleRate;
    samplesPerColumn_ = SamplesPerColumn(segmentLength, wave_->width());
    waveGeometry_ = MakeWaveGeometry(wave_->size(), 1.0f, samplesPerColumn_);
    DrawScale(sampleRate);
  });
}

void ChannelPanel::ShowIdleViews(int sampleRate, float fftOffset) {
  TrappedStep([&] {
    DrawScale(sampleRate);
    ShowGrid(fftOffset);
  });
}

void ChannelPanel::ShowGrid(float fftOffset) {
  DrawPending();
  TrappedStep([&] {
    spectrum_.DrawGrid(fft_->Image(), fftOffset);
    fft_->MarkAllChanged();
  });
}

void ChannelPanel::ResetViews(float fftOffset) {
  DrawPending();
  TrappedStep([&] {
    wave_->Clear();
    ShowGrid(fftOffset);
    vu_->ResetVU(-1);
    CopyBackgroundToMeter();
  });
}

void ChannelPanel::DrawScale(int sampleRate) {
  FrequencyScaleStyle style;
  style.family = options_.fontFamily;
  style.backColor = 0xFFFFFF & ((scale_->Background().blue() << 16) |
                                (scale_->Background().green() << 8) | scale_->Background().red());
  style.foreColor = 0x000000;
  varn::DrawFrequencyScale(scale_->Image(), sampleRate, style);
  scale_->MarkAllChanged();
}

void ChannelPanel::CopyBackgroundToMeter() {
  QImage& image = meter_->Image();
  if (image.size() == meterBackground_.size()) CopyImage(image, meterBackground_);
  meter_->MarkAllChanged();
}

}  // namespace varn
