#include "engine/analysis_pass.h"

#include <cmath>

#include "archive/archive_channel.h"
#include "audio/capture_channel.h"
#include "util/error_catch.h"

namespace varn {

AnalysisFormat AnalysisFormatOf(const CaptureChannel& capture) {
  return AnalysisFormat{static_cast<int32_t>(capture.Format.samplesPerSec), capture.Format.channels,
                        capture.Format.bitsPerSample, capture.SamplesPerBuffer};
}

int32_t CurrentSegment(const SegmentTable& table, int64_t lastFrame) {
  if (lastFrame < table.first[0]) return 0;
  for (int k = 0; k < 6; ++k)
    if (lastFrame >= table.first[k] && lastFrame <= table.last[k]) return k;
  return 5;
}

std::optional<ChosenBlock> ChooseBlock(CaptureChannel& capture) {
  SegmentTable& table = capture.Segments;
  if (!capture.Headers || capture.BufferCount < 1 || capture.NextBuffer < 0 ||
      capture.NextBuffer >= capture.BufferCount || table.segmentLength < 1 ||
      capture.Format.blockAlign == 0)
    return std::nullopt;
  const WaveHeader& filling = capture.Headers[capture.NextBuffer];
  const double frames =
      static_cast<double>(filling.BytesRecorded()) / static_cast<double>(capture.Format.blockAlign);
  const auto lastFrame = static_cast<int64_t>(std::nearbyint(frames - 1.0));
  const int32_t k = CurrentSegment(table, lastFrame);
  const int32_t seen = table.lastSegmentSeen;
  table.lastSegmentSeen = k;
  if (k == seen || seen == -1) return std::nullopt;
  ChosenBlock chosen;
  if (k == 0)
    chosen =
        ChosenBlock{capture.NextBuffer == 0 ? capture.BufferCount - 1 : capture.NextBuffer - 1, 5};
  else
    chosen = ChosenBlock{capture.NextBuffer, k - 1};
  // The buffer being filled is the run's buffer number BuffersCompleted, so
  // the segment before segment k of it lies at BuffersCompleted * 6 + k - 1.
  chosen.position = static_cast<int64_t>(capture.BuffersCompleted) * 6 + k - 1;
  // When S is not a multiple of 6, the few frames after segment 5 are never
  // analysed: segment 0 of the next buffer does not join segment 5 either.
  const bool skipsTail = chosen.segment == 0 && table.segmentLength * 6 != capture.SamplesPerBuffer;
  if (table.lastPosition)
    chosen.followsPrevious = chosen.position == *table.lastPosition + 1 && !skipsTail &&
                             capture.LostFrames == table.lostFramesAtLast;
  table.lastPosition = chosen.position;
  table.lostFramesAtLast = capture.LostFrames;
  return chosen;
}

namespace {
// The capture record still matches what the analysis was sized for, and
// holds every block the ring claims.
bool Analysable(const CaptureChannel& capture, const ChannelAnalysis& analysis) {
  if (!analysis.Ready() || capture.Format.channels != analysis.Format().channels ||
      capture.SamplesPerBuffer != analysis.Format().samplesPerBuffer ||
      capture.Segments.segmentLength != analysis.SegmentLength() || capture.BufferCount < 1)
    return false;
  const size_t needed =
      static_cast<size_t>(capture.BufferCount) * capture.SamplesPerBuffer * capture.Format.channels;
  return capture.SampleBlocks.size() >= needed;
}
}  // namespace

void AnalyseNewBlocks(std::span<const AnalysisChannelRefs> channels, const AnalysisContext& ctx,
                      const AnalysisPassHooks& hooks) {
  TrappedStep([&] {
    for (size_t i = 0; i < channels.size(); ++i) {
      const AnalysisChannelRefs& c = channels[i];
      if (!c.capture || !c.archive || !c.analysis || c.archive->Capturing != 1) continue;
      if (!Analysable(*c.capture, *c.analysis)) continue;
      const auto chosen = ChooseBlock(*c.capture);
      if (!chosen) continue;
      const int channel = static_cast<int>(i);
      const int16_t* samples = c.capture->Block(chosen->bufferIndex) +
                               static_cast<size_t>(c.capture->Segments.first[chosen->segment]) *
                                   c.capture->Format.channels;
      const auto block = c.analysis->Convert(samples, c.capture->RecLevelDb);
      if (channel == hooks.monitoredChannel && hooks.monitorWrite)
        TrappedStep(
            [&] { hooks.monitorWrite(chosen->bufferIndex, chosen->segment, chosen->position); });
      c.analysis->AnalyseBlock(channel, block, ctx, chosen->followsPrevious);
    }
  });
}

}  // namespace varn
