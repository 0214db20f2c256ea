#pragma once
// Walking an MPEG audio file frame by frame: where each whole frame lies.
// The catalogue counts an archive file's frames with it (its playing time
// is what is really there, also in a file cut short or still being
// written), and the extractor copies frames with it.

#include <cstdint>
#include <functional>
#include <string>

#include "archive/file_access.h"
#include "archive/mpeg_header.h"

namespace varn {

struct MpegFrameWalk {
  MpegFrameHeader first;    // the first frame's header
  int64_t frames = 0;       // whole audio frames (a leading Xing/Info tag frame not counted)
  int64_t firstAudio = -1;  // 0-based offset of the first audio frame
  int64_t end = 0;          // 0-based offset just after the last whole frame
  std::string error;        // "" when at least one frame was found
};

// Walks `file` from its first frame header. Frames must agree with the first
// in version, layer and sample rate; the walk ends at the first byte that
// does not start such a frame, or at a frame cut short by the end of the
// file. `onFrame` (may be empty) gets each audio frame's 0-based offset and
// size, and ends the walk by returning false.
MpegFrameWalk WalkMpegFrames(const OpenFile& file,
                             const std::function<bool(int64_t offset, int32_t bytes)>& onFrame);

// The same count without visiting every frame, for a constant bit rate:
// frame i begins within a byte of the first frame plus i times the average
// frame size, so the frame count follows from the file size. The headers
// where the last and the middle frame must begin are checked; a file where
// they are not there (a variable bit rate, junk inside) is walked.
MpegFrameWalk CountMpegFrames(const OpenFile& file);

}  // namespace varn
