// The metrics hand-off between the program's thread and the endpoint's:
// whatever the reader gets is one whole snapshot, never older than the one
// before, and the newest once the writer rests. (ThreadSanitizer checks the
// ordering in test.sh's tsan stage.)

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ops/triple_buffer.h"

namespace varn {
namespace {

struct Snapshot {
  uint64_t sequence = 0;
  std::vector<uint64_t> values;  // every one equal to sequence
};

TEST(MetricsHandoffTest, TheReaderGetsWholeSnapshotsInOrderAndFinallyTheNewest) {
  constexpr int kReads = 20000;
  TripleBuffer<Snapshot> exchange;
  std::atomic<int> reads{0};
  std::atomic<uint64_t> finalSequence{0};

  // The writer goes on until the reader has read its snapshots often
  // enough, so the two overlap however the threads are scheduled.
  std::thread writer([&] {
    uint64_t k = 0;
    while (k == 0 || reads.load(std::memory_order_relaxed) < kReads) {
      Snapshot& s = exchange.Back();
      s.sequence = ++k;
      s.values.assign(1024 + k % 64, k);  // sizes change, so storage moves too
      exchange.Publish();
    }
    finalSequence = k;
  });

  uint64_t last = 0;
  uint64_t torn = 0;
  uint64_t backwards = 0;
  for (;;) {
    const uint64_t done = finalSequence.load();
    const Snapshot& s = exchange.Read();
    for (uint64_t v : s.values) torn += v != s.sequence;
    if (s.sequence != 0 && s.values.size() != 1024 + s.sequence % 64) ++torn;
    backwards += s.sequence < last;
    last = s.sequence;
    if (last != 0) reads.fetch_add(1, std::memory_order_relaxed);
    if (done != 0) {
      EXPECT_EQ(last, done);  // read after the writer finished: the newest
      break;
    }
  }
  writer.join();
  EXPECT_EQ(torn, 0u);
  EXPECT_EQ(backwards, 0u);
}

TEST(MetricsHandoffTest, ASnapshotReadStaysPutWhileTheWriterGoesOn) {
  TripleBuffer<Snapshot> exchange;
  EXPECT_EQ(exchange.Read().sequence, 0u);  // nothing published yet
  exchange.Back().sequence = 1;
  exchange.Publish();
  const Snapshot& held = exchange.Read();
  EXPECT_EQ(held.sequence, 1u);
  for (uint64_t k = 2; k <= 5; ++k) {  // the writer cycles its two other slots
    exchange.Back().sequence = k;
    exchange.Publish();
    EXPECT_EQ(held.sequence, 1u);
  }
  EXPECT_EQ(exchange.Read().sequence, 5u);
  EXPECT_EQ(exchange.Read().sequence, 5u);  // nothing newer: the same again
}

}  // namespace
}  // namespace varn
