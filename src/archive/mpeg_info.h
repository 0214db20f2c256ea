#pragma once
// What an MPEG audio file (layer I, II or III) holds: where its frames start
// and end, its format, its playing time and two display texts; and the
// frame boundary nearest after a position, so a file can be cut into pieces
// that each begin on a frame. Positions are 1-based byte positions.

#include <array>
#include <cstdint>
#include <string>

namespace varn {

struct MpegInfo {
  int32_t FirstFrame = 1;   // position of the first frame header
  int32_t AudioLength = 0;  // bytes from FirstFrame up to an end tag or the end of the file
  int32_t AudioEnd = 0;     // position of the last audio byte
  int32_t FileLength = 0;
  int32_t SearchSpan = 0;  // three 1152-sample frames at the nominal bit rate, in bytes
  int32_t IsVbr = 0;       // a "Xing" header was found
  int32_t VbrFrames = 0;   // the frame count of that header
  int32_t Rate = 0;
  int32_t Layer = 0;
  int32_t Kbps = 0;  // nominal, or the average of a VBR file
  int32_t ChannelCount = 0;
  int32_t ChannelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int32_t LowRate = 0;      // lower-sampling-frequency extension (MPEG-2 or 2.5)
  int32_t LengthMs = 0;
  std::string ShortText;                 // mp3(44.1kHz/128kb/JS)
  std::string LongText;                  // mp3(44100Hz/128kbps/JointStereo)
  std::array<uint8_t, 3> HeaderBytes{};  // bytes 2 to 4 of the first frame header
};

// 1 on success; 0 when the file is shorter than 48 bytes, holds no frame
// header, or its first header is invalid. `info` is reset either way.
int32_t ReadMpegInfo(const std::string& path, MpegInfo& info);

// The position of the frame header at or after `from` that agrees best with
// the file's first header, searched over two SearchSpans; AudioEnd + 1 when
// there is none (the caller then takes the data to its end).
int32_t FindFrameStart(const std::string& path, int32_t from, const MpegInfo& info);

}  // namespace varn
