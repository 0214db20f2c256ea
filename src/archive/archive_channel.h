#pragma once
// The archive record of one channel.

#include <cstdint>
#include <string>

namespace varn {

struct ArchiveChannel {
  int32_t Capturing = 0;    // 1 while the channel's capture device runs
  int32_t ArcOn = 1;        // archiving wanted (ArcOn_)
  std::string CurrentPath;  // the file being archived to
  std::string Extension = ".wav";
  int32_t RolloverPending = 0;  // flush before the next block: a new file began
};

}  // namespace varn
