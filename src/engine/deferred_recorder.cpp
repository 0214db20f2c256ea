#include "engine/deferred_recorder.h"

namespace varn {

int32_t DeferredRecorder::StartArchive(const ArchiveStart& start) {
  Drain();
  const int32_t bitRate = inner_.StartArchive(start);
  defer_ = start.archiveOn && bitRate > 0;
  return bitRate;
}

void DeferredRecorder::FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) {
  if (!defer_) {
    inner_.FeedBlock(bufferIndex, bytes, byteCount);
    return;
  }
  // The same buffer again: its older copy must go before it is replaced.
  for (size_t i = 0; i < count_; ++i) {
    if (waiting_[(first_ + i) % kCapacity].bufferIndex == bufferIndex) {
      for (size_t k = 0; k <= i; ++k) FeedOne();
      break;
    }
  }
  if (count_ == kCapacity) FeedOne();
  waiting_[(first_ + count_) % kCapacity] = Block{bufferIndex, bytes, byteCount};
  ++count_;
}

void DeferredRecorder::StopArchive() {
  Drain();
  inner_.StopArchive();
}

bool DeferredRecorder::FeedOne() {
  if (count_ == 0) return false;
  const Block b = waiting_[first_];
  first_ = (first_ + 1) % kCapacity;
  --count_;
  inner_.FeedBlock(b.bufferIndex, b.bytes, b.byteCount);
  return true;
}

void DeferredRecorder::Drain() {
  while (FeedOne()) {
  }
}

}  // namespace varn
