// The update cycle: one tick collects every running channel's completed
// buffers, runs the analysis pass, watches its own timing, does the
// once-per-second work and re-arms the timer.

#include <algorithm>
#include <chrono>
#include <cmath>

#include "audio/capture.h"
#include "engine/engine.h"
#include "engine/engine_texts.h"
#include "util/error_catch.h"
#include "util/text.h"

namespace varn {

void Engine::CollectBuffers() {
  for (int ch = 0; ch < ChannelCount(); ++ch) {
    ChannelRecord& c = Channel(ch);
    // Read at the channel's turn: a command handled meanwhile may have
    // stopped it.
    if (c.archive.Capturing == 1) {
      TrappedStep([&] {
        Pump();
        if (c.archive.Capturing != 1) return;
        // The record copies are about to be reallocated: nothing may wait on them.
        if (c.capture.RecordBlocks.size() < c.capture.SampleBlocks.size()) c.recorder.Drain();
        const int r =
            ProgressionRecord(ch, c.capture, c.archive, c.archive.ArcOn != 0, &c.recorder);
        if (r >= 0) c.analysis.CountTick();
        if (CaptureDeviceFailed(c.capture)) HandleDeviceLoss(ch);
      });
    }
    TrappedStep([&] { Pump(); });
  }
}

void Engine::FeedWaitingBlocks() {
  // A few encodings per tick, round the channels, so blocks that completed
  // together are encoded over the next ticks; a channel that falls behind
  // is caught up at once.
  const int count = ChannelCount();
  int budget = kEncodesPerTick;
  for (int turn = 0; turn < count && budget > 0; ++turn) {
    const int ch = (nextFeed_ + turn) % count;
    if (Channel(ch).recorder.FeedOne()) --budget;
  }
  nextFeed_ = count > 0 ? (nextFeed_ + 1) % count : 0;
  for (auto& c : channels_)
    while (c->recorder.Waiting() > kMostWaitingBlocks) c->recorder.FeedOne();
}

void Engine::OncePerSecond(const ClockReading& now) {
  const HourlyRollover::Step step = rollover_.Advance(now);
  if (!step.newSecond) return;
  if (step.newHour) {
    // Blocks captured before the hour belong to the old files.
    for (auto& c : channels_) TrappedStep([&] { c->recorder.Drain(); });
    TrappedStep([&] { RolloverArchives(archives_); });
  }
  TrappedStep([&] { s_.log->WriteSeparatorIfDue(); });
}

void Engine::Tick() {
  if (inTick_ || closed_) return;
  inTick_ = true;
  const auto began = std::chrono::steady_clock::now();
  s_.timer->Disarm();

  if (!channels_.empty()) CollectBuffers();

  TrappedStep([&] {
    const AnalysisContext ctx{&misc_.monitoring, s_.clock, &events_, s_.view};
    AnalysisPassHooks hooks;
    hooks.pump = s_.pump;
    hooks.monitoredChannel = monitor_.MonitorChannel;
    hooks.monitorWrite = [this](int bufferIndex, int segment, int64_t position) {
      MonitorWrite(monitor_, bufferIndex, segment, position);
    };
    AnalyseNewBlocks(analysisRefs_, ctx, hooks);
  });

  TrappedStep([&] { FeedWaitingBlocks(); });

  TrappedStep([&] {
    const double late = ElapsedSince(lastTickTime_, *s_.clock);
    if (late > kWatchdogSec) s_.log->LogEvent(std::string(kWatchdogText) + FormatFixed(late, 3));
  });

  const ClockReading now = s_.clock->Now();
  lastTickTime_ = std::clamp(now.secondsSinceMidnight, 0.0, 86399.999);
  TrappedStep([&] { OncePerSecond(now); });
  TrappedStep([&] { RetryLostDevices(); });

  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
  ++stats_.ticks;
  stats_.totalMs += ms;
  stats_.longestMs = std::max(stats_.longestMs, ms);
  // A close handled inside this tick leaves the timer off.
  if (!closed_) s_.timer->Arm(misc_.updateIntervalMs);
  inTick_ = false;
}

}  // namespace varn
