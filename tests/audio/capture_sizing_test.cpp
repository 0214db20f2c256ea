#include "archive/capture_sizing.h"

#include <gtest/gtest.h>

#include "audio/segment_table.h"

namespace varn {
namespace {

TEST(CaptureSizing, MatchesTheTableForThreeSeconds) {
  struct Row {
    int rate, wavS, wavB, mp3B;
  };
  for (const Row r : {Row{8000, 2304, 10, 2}, Row{11025, 3172, 10, 2}, Row{22050, 6348, 10, 5},
                      Row{32000, 9216, 10, 7}, Row{44100, 12700, 10, 10}, Row{48000, 13824, 10, 10},
                      Row{96000, 27648, 10, 21}}) {
    const CaptureSizing wav = ComputeCaptureSizing(r.rate, 0, 3);
    EXPECT_EQ(wav.samplesPerBuffer, r.wavS) << r.rate;
    EXPECT_EQ(wav.bufferCount, r.wavB) << r.rate;
    const CaptureSizing mp3 = ComputeCaptureSizing(r.rate, 160, 3);
    EXPECT_EQ(mp3.samplesPerBuffer, 13824) << r.rate;
    EXPECT_EQ(mp3.bufferCount, r.mp3B) << r.rate;
  }
  EXPECT_EQ(ComputeCaptureSizing(44100, -5, 3).samplesPerBuffer, 12700);  // below 1 is WAV
}

TEST(SegmentTable, CutsABufferIntoSixWholeSegments) {
  const SegmentTable t = SegmentTable::Build(12700);
  EXPECT_EQ(t.segmentLength, 2116);
  EXPECT_EQ(t.first[0], 0);
  EXPECT_EQ(t.last[5], 12695);
  EXPECT_EQ(t.first[3], 3 * 2116);
  EXPECT_EQ(t.lastSegmentSeen, -1);
  EXPECT_EQ(SegmentTable::Build(13824).segmentLength, 2304);
}

}  // namespace
}  // namespace varn
