#include "engine/deferred_recorder.h"

#include <gtest/gtest.h>

#include "audio/audio_test_support.h"

namespace varn {
namespace {

std::vector<int32_t> FedOrder(const test::FakeRecorder& r) {
  std::vector<int32_t> order;
  for (const auto& f : r.fed) order.push_back(f.bufferIndex);
  return order;
}

TEST(DeferredRecorder, EncodingWaitsButNeverPastItsBuffersNextUseNorPastTheStop) {
  test::FakeRecorder inner;
  DeferredRecorder deferred(inner);
  ArchiveStart start;
  start.archiveOn = true;
  start.bitRate = 160;
  deferred.StartArchive(start);
  std::vector<int16_t> blocks(4 * 8, 0);
  for (int i = 0; i < 4; ++i) {
    blocks[static_cast<size_t>(i) * 8] = static_cast<int16_t>(i + 1);
    deferred.FeedBlock(i % 3, reinterpret_cast<const uint8_t*>(&blocks[static_cast<size_t>(i) * 8]),
                       16);
  }
  // Buffer 0 came round again: its first copy went out before it was replaced.
  EXPECT_EQ(FedOrder(inner), std::vector<int32_t>{0});
  EXPECT_EQ(inner.fed[0].samples[0], 1);
  EXPECT_TRUE(deferred.FeedOne());
  EXPECT_EQ(deferred.Waiting(), 2u);
  deferred.StopArchive();
  EXPECT_EQ(FedOrder(inner), (std::vector<int32_t>{0, 1, 2, 0}));
  EXPECT_EQ(inner.stops, 1);

  // A WAV run is handed on at once.
  start.bitRate = 0;
  inner.bitRateToReturn = 0;
  deferred.StartArchive(start);
  deferred.FeedBlock(5, reinterpret_cast<const uint8_t*>(blocks.data()), 16);
  EXPECT_EQ(inner.fed.size(), 5u);
  EXPECT_EQ(deferred.Waiting(), 0u);
}

}  // namespace
}  // namespace varn
