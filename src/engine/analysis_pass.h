#pragma once
// The analysis pass over the capture rings: once per tick, the newest
// complete segment of each running channel is taken out of its ring in
// place, converted, and handed to the channel's analysers.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "analysis/channel_analysis.h"
#include "audio/segment_table.h"

namespace varn {

struct ArchiveChannel;
struct CaptureChannel;

AnalysisFormat AnalysisFormatOf(const CaptureChannel& capture);

// The segment the device is writing, from the last frame it wrote. An empty
// buffer (lastFrame -1) counts as segment 0, and the few frames after
// segment 5 (S is rarely a multiple of 6) count as segment 5, so the block
// sequence stays intact at buffer boundaries.
int32_t CurrentSegment(const SegmentTable& table, int64_t lastFrame);

struct ChosenBlock {
  int32_t bufferIndex = 0;  // capture buffer holding the block
  int32_t segment = 0;      // its segment 0..5
  // Its place in the run's stream of segments: 6 for every buffer of the
  // run before its own, plus its segment.
  int64_t position = 0;
  // False when audio lies between the block chosen before in this run and
  // this one: segments skipped by a stall, or frames lost to an overrun.
  // The first block of a run follows nothing and counts as following.
  bool followsPrevious = true;
};

// Once per tick per running channel: when the device has moved into a new
// segment since the last call, the segment just before the current one (and
// only that one, however far the device moved). The first call after a
// start only records the segment. Updates Segments.lastSegmentSeen,
// lastPosition and lostFramesAtLast.
std::optional<ChosenBlock> ChooseBlock(CaptureChannel& capture);

// One channel as the pass sees it. The engine keeps these next to its
// channel records.
struct AnalysisChannelRefs {
  CaptureChannel* capture = nullptr;
  const ArchiveChannel* archive = nullptr;  // its Capturing flag is read at the channel's turn
  ChannelAnalysis* analysis = nullptr;
};

struct AnalysisPassHooks {
  int monitoredChannel = -1;  // the channel played through, or -1
  // The monitor output's step for the block just chosen (capture buffer,
  // segment and stream position), run before the block's analysers.
  std::function<void(int bufferIndex, int segment, int64_t position)> monitorWrite;
};

// Once per tick after the capture buffers were collected: for every channel
// whose capture runs, the newest complete segment (if the device moved on)
// is converted and analysed. Nothing else runs meanwhile: no window message
// is handled inside the pass.
void AnalyseNewBlocks(std::span<const AnalysisChannelRefs> channels, const AnalysisContext& ctx,
                      const AnalysisPassHooks& hooks);

}  // namespace varn
