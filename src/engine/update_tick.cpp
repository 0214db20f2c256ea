// The update cycle: one tick collects every running channel's completed
// buffers (handing the archive copies to the worker), runs the analysis
// pass, writes what the worker reported, watches its own timing, does the
// once-per-second work and re-arms the timer. It never handles window
// messages: a command that arrives during a tick runs right after it.

#include <algorithm>
#include <chrono>
#include <cmath>

#include "audio/capture.h"
#include "engine/engine.h"
#include "engine/engine_texts.h"
#include "engine/line_watch.h"
#include "util/error_catch.h"
#include "util/text.h"

namespace varn {

void Engine::CollectBuffers() {
  for (int ch = 0; ch < ChannelCount(); ++ch) {
    ChannelRecord& c = Rec(ch);
    if (c.archive.Capturing != 1) continue;
    TrappedStep([&]() VARN_PROGRAM_THREAD {
      // The lane takes every block while the run archives or its loudness
      // is measured.
      const bool feed = c.archive.ArcOn != 0 || (c.lane && c.lane->Measuring());
      NoteArrival(c);
      const int r = ProgressionRecord(ch, c.capture, c.archive, feed, c.lane, RunNow());
      c.fillingBytes = FillingBytes(c.capture);
      if (r >= 0) c.analysis.CountTick();
      if (CaptureDeviceFailed(c.capture)) HandleDeviceLoss(ch);
    });
  }
}

namespace {

std::string Seconds(double seconds) { return FormatFixed(seconds, 1) + std::string(kSecondsUnit); }
}  // namespace

void Engine::WatchInputs() {
  const double now = RunNow();
  for (int ch = 0; ch < ChannelCount(); ++ch) {
    ChannelRecord& c = Rec(ch);
    if (c.archive.Capturing != 1 || !c.capture.Headers || c.capture.BufferCount < 1) continue;
    const uint32_t filling = c.capture.Headers[c.capture.NextBuffer].BytesRecorded();
    switch (c.input.Observe(c.capture.BuffersCompleted, filling, now, misc_.inputTimeoutSec)) {
      case InputWatch::Change::Stalled:
        s_.log->LogEvent(kInputStalledText, ch);
        break;
      case InputWatch::Change::Resumed:
        s_.log->LogEvent(std::string(kInputResumedText) + Seconds(c.input.InterruptionSec()), ch);
        break;
      case InputWatch::Change::None:
        break;
    }
    const uint64_t lost = c.loss.Observe(LostFrames(ch), now);
    const double rate = std::max<uint32_t>(c.capture.Format.samplesPerSec, 1);
    if (lost > 0) s_.log->LogEvent(std::string(kAudioLostText) + Seconds(lost / rate), ch);
  }
}

void Engine::EndLossIncident(int ch) {
  ChannelRecord& c = Rec(ch);
  c.loss.Observe(LostFrames(ch), RunNow());
  const uint64_t lost = c.loss.Finish();
  const double rate = std::max<uint32_t>(c.capture.Format.samplesPerSec, 1);
  if (lost > 0) s_.log->LogEvent(std::string(kAudioLostText) + Seconds(lost / rate), ch);
}

void Engine::StartNewFiles() {
  // The program says when; the worker names each new file by that time and
  // writes it after the blocks queued before it.
  for (auto& c : channels_) {
    if (c->archive.Capturing != 1) continue;
    if (c->archive.ArcOn != 1 || !c->lane->Archiving()) {
      // The hour ends for the loudness whether or not the line archives.
      TrappedStep([&]() VARN_PROGRAM_THREAD { c->lane->EndHour(); });
      continue;
    }
    TrappedStep([&]() VARN_PROGRAM_THREAD { c->lane->BeginNewFile(FramesInFlight(c->capture)); });
  }
  // The free space, before the new files grow.
  if (keeping_) keeping_->Request(kSweepSpace, ArchivePending());
}

uint32_t Engine::FillingBytes(const CaptureChannel& capture) {
  return static_cast<uint32_t>(FramesInFlight(capture) * capture.Format.blockAlign);
}

void Engine::NoteArrival(ChannelRecord& c) {
  // After a pause in delivery, a hole in the archive belongs where the
  // device stopped: inside the block it was filling then.
  if (!c.capture.Headers || c.capture.BufferCount < 1) return;
  const int32_t n = c.capture.NextBuffer >= 0 && c.capture.NextBuffer < c.capture.BufferCount
                        ? c.capture.NextBuffer
                        : 0;
  const WaveHeader& h = c.capture.Headers[n];
  if (!h.Done() && h.BytesRecorded() == c.fillingBytes) return;
  const double now = RunNow();
  if (now - c.lastArrival > kArchiveGapSec && c.lane && c.capture.Format.blockAlign > 0)
    c.lane->SplitNextHoleAt(c.fillingBytes / c.capture.Format.blockAlign);
  c.lastArrival = now;
}

double Engine::WallStep(const ClockReading& now) {
  const double offset = static_cast<double>(EpochMsFromDateTime(now.local)) / 1000.0 - RunNow();
  const double step = wallOffsetKnown_ ? offset - wallOffset_ : 0.0;
  wallOffset_ = offset;
  wallOffsetKnown_ = true;
  return std::fabs(step) > kWallStepSec ? step : 0.0;
}

void Engine::OncePerSecond(const ClockReading& now, bool wallStepped) {
  const HourlyRollover::Step step = rollover_.Advance(now);
  // A file's name says when it began, and its length how long it ran: after
  // a step of the wall clock a new file begins under the new time.
  if (wallStepped) TrappedStep([&]() VARN_PROGRAM_THREAD { StartNewFiles(); });
  if (!step.newSecond) return;
  if (step.newHour && !wallStepped) TrappedStep([&]() VARN_PROGRAM_THREAD { StartNewFiles(); });
  TrappedStep([&]() VARN_PROGRAM_THREAD { WatchClockSync(); });
  if (keeping_)
    TrappedStep([&]() VARN_PROGRAM_THREAD { keeping_->EverySecond(now, ArchivePending()); });
  if (!s_.runMarker.empty())
    TrappedStep([&]() VARN_PROGRAM_THREAD {
      s_.log->ReplaceFile(s_.runMarker, GetDateTimeText(now, DateTimeStyle::Plain,
                                                        DateTimeParts::DateAndTime) +
                                            "\n");
    });
  TrappedStep([&]() VARN_PROGRAM_THREAD { s_.log->WriteSeparatorIfDue(); });
  if (s_.observer) TrappedStep([&]() VARN_PROGRAM_THREAD { s_.observer->EverySecond(*this); });
}

void Engine::Tick() {
  if (inTick_ || closed_) return;
  inTick_ = true;
  const auto began = std::chrono::steady_clock::now();
  s_.timer->Disarm();

  if (!channels_.empty()) CollectBuffers();

  TrappedStep([&]() VARN_PROGRAM_THREAD {
    const AnalysisContext ctx{&misc_.monitoring, s_.clock, &events_, s_.view};
    AnalysisPassHooks hooks;
    hooks.monitoredChannel = monitor_.MonitorChannel;
    hooks.monitorWrite = [this](int bufferIndex, int segment, int64_t position) {
      OnProgramThread();  // the analysis pass runs it inside the tick
      MonitorWrite(monitor_, bufferIndex, segment, position);
    };
    AnalyseNewBlocks(analysisRefs_, ctx, hooks);
  });

  // Blocks go to the worker as they are collected; what it has written or
  // failed to write since the last tick reaches the event log here.
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    for (auto& c : channels_) c->lane->Flush();
    if (!worker_->Threaded()) worker_->RunQueued();
    worker_->WriteNotes();
    if (keeping_)
      keeping_->Report([this](int ch, const std::string& path) {
        OnProgramThread();  // Report calls it at once
        ToArchiveHook(ch, path);
      });
  });

  TrappedStep([&]() VARN_PROGRAM_THREAD { WatchInputs(); });

  TrappedStep([&]() VARN_PROGRAM_THREAD {
    const double late = RunNow() - lastTickTime_;
    if (late > kWatchdogSec) s_.log->LogEvent(std::string(kWatchdogText) + FormatFixed(late, 3));
  });

  lastTickTime_ = RunNow();
  const ClockReading now = s_.clock->Now();
  lastTickUnixTime_ = static_cast<double>(EpochMsFromDateTime(now.utc)) / 1000.0;
  const double wallStep = WallStep(now);
  if (wallStep != 0.0)
    WriteLogLine(std::string(kWallStepText) + FormatFixed(wallStep, 3) +
                     " s; the running archive files end and new ones begin",
                 true);
  TrappedStep([&]() VARN_PROGRAM_THREAD { OncePerSecond(now, wallStep != 0.0); });
  TrappedStep([&]() VARN_PROGRAM_THREAD { RetryLostDevices(); });
  TrappedStep([&]() VARN_PROGRAM_THREAD { AdvanceRestarts(); });
  if (hooks_) TrappedStep([&]() VARN_PROGRAM_THREAD { hooks_->Report(); });

  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
  ++stats_.ticks;
  stats_.totalMs += ms;
  stats_.longestMs = std::max(stats_.longestMs, ms);
  stats_.lastMs = ms;
  if (s_.observer) TrappedStep([&]() VARN_PROGRAM_THREAD { s_.observer->AfterTick(*this); });
  // A close handled inside this tick leaves the timer off.
  if (!closed_) s_.timer->Arm(misc_.updateIntervalMs);
  inTick_ = false;
}

}  // namespace varn
