#pragma once
// The audio of a time range of one channel, cut and joined across the
// archive files, written through a byte sink: a file, standard output, or
// an HTTP response, never held whole in memory.
//
// The range's first sample is the one at its start time. A WAV source is
// cut to the sample. An MP3 source counts as the samples its frames decode
// to (the encoder's delay, about 23 ms, is part of the file as recorded)
// and is cut to the sample after decoding; a copy instead takes the whole
// frames that overlap the range. Where no file covers the range, silence
// of the missing length goes in (a gap over kArchiveHoleMinMs is reported
// as a hole), unless filling is refused. All files in the range must share
// the sample rate and channel count (and, for a copy, the bit rate): a
// range over a change of format is refused, to be extracted in two parts.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_catalog.h"

namespace varn {

enum class ExtractFormat {
  Wav,      // PCM: the sources' sample size (16 bits from MP3 sources)
  Mp3,      // decoded and encoded again with the program's encoder
  Mp3Copy,  // the sources' frames as they are
};

struct ExtractRequest {
  int channel = 1;
  int64_t fromMs = 0;
  int64_t toMs = 0;
  ExtractFormat format = ExtractFormat::Wav;
  bool fill = true;  // false: a hole refuses the extract
  int kbps = 0;      // MP3 output; 0: the sources' bit rate, or 128 from WAV sources
};

// One stretch of the output: frames from a file (from `first`, a sample
// for PCM, a frame index for a copy) or silence.
struct ExtractPiece {
  int file = -1;  // index into ExtractPlan::files; -1 silence
  int64_t first = 0;
  int64_t count = 0;  // samples per channel, or MP3 frames for a copy
  bool hole = false;  // a silence reported as a hole
};

struct ExtractPlan {
  // Why the extract cannot be made ("" when it can): no archive in the
  // range, a hole with filling refused, a change of format.
  std::string error;
  ExtractFormat format = ExtractFormat::Wav;
  int rate = 0;
  int channels = 0;
  int bits = 16;            // PCM sample size of a WAV output
  int kbps = 0;             // MP3 output
  int samplesPerFrame = 0;  // MP3 copy
  int64_t startMs = 0;      // the output's first sample (a copy starts on a frame)
  int64_t frames = 0;       // samples per channel of the output
  int64_t bytes = -1;       // the output's size when known before (WAV, copy)
  std::vector<ArchiveFileEntry> files;
  std::vector<ExtractPiece> pieces;
  std::vector<ArchiveHole> holes;  // reported holes, cut to the range
};

ExtractPlan PlanExtract(const ArchiveCatalog& catalog, const ExtractRequest& request);

struct ExtractEvents {
  // Takes the next bytes of the output; false stops the extract (a failed
  // write).
  std::function<bool(const uint8_t* bytes, size_t count)> write;
  // When the output reaches a hole, before its silence.
  std::function<void(const ArchiveHole& hole)> hole;
  // The fraction done now and then; false cancels.
  std::function<bool(double fraction)> progress;
};

struct ExtractResult {
  bool ok = false;
  bool canceled = false;
  std::string error;  // what failed: a source that cannot be read, the sink
  int64_t bytes = 0;  // written to the sink
};

ExtractResult RunExtract(const ExtractPlan& plan, const ExtractEvents& events);

}  // namespace varn
