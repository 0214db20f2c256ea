#pragma once
// Reading a recording as 16-bit PCM frames: WAV files (8, 16 or 24-bit
// integer PCM) and MPEG audio files (through the program's decoder). Used by
// `varn analyze` and by the simulated devices that play files.

#include <cstdint>
#include <memory>
#include <string>

namespace varn {

class PcmFileReader {
 public:
  virtual ~PcmFileReader() = default;
  virtual int32_t SampleRate() const = 0;
  virtual int32_t Channels() const = 0;
  // Up to `frames` frames of interleaved 16-bit samples into `out`. Returns
  // the frames read, fewer than asked only at the end (0 there), or -1 when
  // the file could not be read.
  virtual int64_t Read(int16_t* out, int64_t frames) = 0;
  // Back to the first frame; false when the file can no longer be read.
  virtual bool Rewind() = 0;
};

// True for the names OpenPcmFile reads (.wav, .mp3).
bool IsPcmFileName(const std::string& name);

// Opens `path`, choosing the reader by the file's first bytes (or the .mp3
// extension). Null when it cannot be read, with the reason in `error` as a
// clause that follows the file's name ("cannot be read as a WAV file").
std::unique_ptr<PcmFileReader> OpenPcmFile(const std::string& path, std::string* error);

}  // namespace varn
