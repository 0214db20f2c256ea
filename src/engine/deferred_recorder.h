#pragma once
// Spreads the MP3 encoding of completed capture buffers over the ticks that
// follow, instead of doing it in the tick that collected them. Channels
// started together complete their buffers in the same tick; encoding all of
// them at once would stall that tick (and the window's drawing) for tens of
// milliseconds. WAV blocks cost a copy and are handed on at once.
//
// A deferred block is read where capture left it (the channel's record
// copy of buffer n), which stays untouched until buffer n completes again;
// a block still waiting then is fed first, so nothing is ever overwritten
// unread.

#include <array>
#include <cstddef>
#include <cstdint>

#include "archive/channel_recorder.h"

namespace varn {

class DeferredRecorder final : public ChannelRecorder {
 public:
  // `inner` does the archiving; `bitRate` is read through it at each start.
  explicit DeferredRecorder(ChannelRecorder& inner) : inner_(inner) {}

  int32_t StartArchive(const ArchiveStart& start) override;
  void FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) override;
  void StopArchive() override;

  // Feeds the oldest waiting block; false when none waits.
  bool FeedOne();
  void Drain();
  size_t Waiting() const { return count_; }

 private:
  struct Block {
    int32_t bufferIndex = 0;
    const uint8_t* bytes = nullptr;
    int32_t byteCount = 0;
  };
  static constexpr size_t kCapacity = 8;

  ChannelRecorder& inner_;
  bool defer_ = false;  // this run encodes (MP3)
  std::array<Block, kCapacity> waiting_{};
  size_t first_ = 0;
  size_t count_ = 0;
};

}  // namespace varn
