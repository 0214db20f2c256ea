#pragma once
// The seam through which a recording is read for analysis: open a file, say
// its rate and channel count, hand out 16-bit frames. WAV files are read as
// they are; MPEG audio files through the archive's decoder.

#include <cstdint>
#include <memory>
#include <string>

namespace varn {

class PcmSource {
 public:
  virtual ~PcmSource() = default;
  virtual int32_t SampleRate() const = 0;
  virtual int32_t Channels() const = 0;  // 1 or 2
  // Up to `frames` frames of interleaved 16-bit samples into `destination`.
  // Returns the number of frames read, fewer than asked only at the end of
  // the audio, or -1 when the file could not be read.
  virtual int64_t Read(int16_t* destination, int64_t frames) = 0;
};

struct PcmOpenResult {
  std::unique_ptr<PcmSource> source;
  std::string error;  // why the file cannot be read, when source is empty
};

// A 16-bit PCM WAV file, mono or stereo. The samples are the data chunk's as
// far as the file really holds them; a data size of 0 with samples after it
// (an archive whose header was never updated) reads to the end of the file.
PcmOpenResult OpenWavPcmSource(const std::string& path);

// An MPEG audio file (the archive's MP3 files), decoded to 16-bit PCM.
PcmOpenResult OpenMp3PcmSource(const std::string& path);

// Any recording the analysis can read, chosen by the file's first bytes
// (or the .mp3 extension).
PcmOpenResult OpenPcmSource(const std::string& path);

}  // namespace varn
