#pragma once
// Reads an MPEG audio file as 16-bit PCM, a few frames at a time, through
// the program's own decoder. For the analysis of archive files and for the
// simulated devices that play files.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/file_access.h"
#include "archive/mp3acm.h"
#include "archive/mpeg_info.h"

namespace varn {

class Mp3FileReader {
 public:
  // False when the file cannot be read as MPEG audio.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

  int32_t Rate() const { return info_.Rate; }
  int32_t Channels() const { return info_.ChannelCount; }
  const MpegInfo& Info() const { return info_; }

  // Up to `frames` frames of interleaved PCM (left then right for stereo)
  // into `out`. Returns the frames read: fewer only at the end of the file
  // (0 there), -1 when the file cannot be read or decoded.
  int64_t Read(int16_t* out, int64_t frames);
  // Back to the first frame (a player that loops).
  bool Rewind();

 private:
  bool Refill();

  std::string path_;
  OpenFile file_;
  MpegInfo info_;
  C_mp3acm decoder_;
  int64_t nextByte_ = 0;  // 0-based offset of the next MPEG byte to decode
  bool drained_ = false;
  std::vector<uint8_t> mpeg_;
  std::vector<uint8_t> pcm_;
  size_t pcmPos_ = 0;
  int32_t pcmFill_ = 0;
};

}  // namespace varn
