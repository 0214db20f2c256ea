#include "analysis/channel_analysis.h"

#include "analysis/block_conversion.h"
#include "util/error_catch.h"

namespace varn {

bool ChannelAnalysis::Start(const AnalysisFormat& format, const MonitorSettings& settings) {
  ready_ = false;
  TickCount = 0;
  const int32_t segment = format.samplesPerBuffer / 6;
  if (format.sampleRate <= 0 || (format.channels != 1 && format.channels != 2) || segment < 1 ||
      format.bitsPerSample < 1 || format.bitsPerSample > 32)
    return false;
  return Trapped(false, [&] {
    format_ = format;
    block_.assign(segment, Frame{});
    meter.MeterWindow.Reset(MeterWindowLength(format.sampleRate, segment));
    meter.HoldWindow.Reset(HoldWindowLength(format.sampleRate, segment, settings.peakHoldSec));
    levels.Reset();
    lowLevel.SizeWindow(format.sampleRate, settings.minGateSpan);
    lowLevel.ResetState();
    click.Reset();
    spectrum.Start(format.sampleRate, segment, settings);
    ready_ = true;
    return true;
  });
}

void ChannelAnalysis::ApplySettings(const MonitorSettings& before, const MonitorSettings& now) {
  if (!ready_) return;
  TrappedStep([&] {
    const int32_t segment = SegmentLength();
    if (now.minGateSpan != before.minGateSpan)
      lowLevel.SizeWindow(format_.sampleRate, now.minGateSpan);
    if (now.peakHoldSec != before.peakHoldSec)
      meter.HoldWindow.Reset(HoldWindowLength(format_.sampleRate, segment, now.peakHoldSec));
    if (now.peakHoldSec != before.peakHoldSec || now.fftAvrSec != before.fftAvrSec) {
      spectrum.Start(format_.sampleRate, segment, now);
      // Its histories start empty: the change detector waits for them to
      // fill, as after a start (the other detectors only skip two blocks).
      TickCount = 0;
    }
  });
}

void ChannelAnalysis::CountTick() {
  if (TickCount < 2147483647) ++TickCount;
}

std::span<const Frame> ChannelAnalysis::Convert(const int16_t* samples, float recLevelDb) {
  ConvertBlock(samples, format_.channels, SegmentLength(), AnalysisGain(recLevelDb), stereoMode,
               block_.data());
  return block_;
}

LevelRecord ChannelAnalysis::AnalyseBlock(int channel, std::span<const Frame> block,
                                          const AnalysisContext& ctx, bool followsPrevious) {
  const MonitorSettings& s = *ctx.settings;
  TrappedStep([&] {
    const SpectrumInputs in{TickCount, stereoMode, meter.MeterWindow.Newest(), s.fftSense,
                            s.fftInfinite};
    spectrum.Process(channel, block, in, *ctx.clock, ctx.events, ctx.view);
  });
  if (!followsPrevious && !block.empty()) click.Rejoin(block.front());
  if (s.puchiSense > 0) {
    TrappedStep([&] {
      const ClickInputs in{TickCount,
                           stereoMode,
                           meter.MeterWindow.Newest(),
                           format_.bitsPerSample,
                           format_.sampleRate,
                           s.puchiSense,
                           s.puchiOkLength};
      click.Process(channel, block, in, ctx.events);
    });
  }
  if (TickCount > 1)
    TrappedStep([&] { lowLevel.Process(channel, block, stereoMode, s.minGateLevel, ctx.events); });

  const LevelRecord record = MeasureLevels(meter, block, format_.channels > 1, s.peakHoldSec,
                                           meterTextMode, stereoMode, drawing_);
  if (ctx.view) {
    TrappedStep([&] { ctx.view->DrawMeter(channel, drawing_.Bars()); });
    TrappedStep([&] { ctx.view->DrawWaveform(channel, block); });
  }
  if (TickCount > 1) {
    TrappedStep([&] { UpdateLevelFigures(levels, channel, record, stereoMode, ctx.view); });
    TrappedStep(
        [&] { WatchOverLevel(levels, channel, record, stereoMode, s.maxGateLevel, ctx.events); });
  }
  return record;
}

}  // namespace varn
