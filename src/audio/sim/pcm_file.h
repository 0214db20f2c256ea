#pragma once
// Reading an audio file as 16-bit PCM frames, for the "Sim File" devices.
// OpenPcmFile is the one place that knows the file kinds: WAV now; MP3 is
// added here once the archive's decoder can be used.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace varn {

class PcmFileReader {
 public:
  virtual ~PcmFileReader() = default;
  virtual int SampleRate() const = 0;
  virtual int Channels() const = 0;
  // Reads up to `frames` frames, interleaved, Channels() samples each.
  // Returns the frames read: 0 at the end of the file or on a read error.
  virtual size_t Read(int16_t* out, size_t frames) = 0;
  // Back to the first frame; false when the file can no longer be read.
  virtual bool Rewind() = 0;
};

// True when the name's extension is one OpenPcmFile reads.
bool IsPcmFileName(const std::string& name);

// Opens `path` for reading; null with a reason in `error` when it cannot be
// read as audio.
std::unique_ptr<PcmFileReader> OpenPcmFile(const std::string& path, std::string* error);

}  // namespace varn
