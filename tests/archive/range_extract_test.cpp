// Cutting and joining a time range: the program's own WAV files from a run
// across the top of an hour and a restart, holes, and what is refused.

#include "archive/range_extract.h"

#include <gtest/gtest.h>

#include <cstring>

#include "archive/channel_archive.h"
#include "archive_test_support.h"

namespace varn {
namespace {

int64_t Utc(int h, int mi, int s) {
  return EpochMsFromDateTime(DateTime{2026, 12, 6, h, mi, s, 0});
}

struct Output {
  std::vector<uint8_t> bytes;
  std::vector<ArchiveHole> holes;
  ExtractResult result;
};

// Runs the extract into memory; a size known before must be the size made.
Output Extract(const ArchiveCatalog& catalog, const ExtractRequest& request) {
  Output out;
  const ExtractPlan plan = PlanExtract(catalog, request);
  EXPECT_EQ(plan.error, "");
  ExtractEvents events;
  events.write = [&](const uint8_t* b, size_t n) {
    out.bytes.insert(out.bytes.end(), b, b + n);
    return true;
  };
  events.hole = [&](const ArchiveHole& h) { out.holes.push_back(h); };
  out.result = RunExtract(plan, events);
  if (plan.bytes >= 0) {
    EXPECT_EQ(plan.bytes, static_cast<int64_t>(out.bytes.size()));
  }
  return out;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& wav, size_t header = 44) {
  std::vector<int16_t> s((wav.size() - header) / 2);
  std::memcpy(s.data(), wav.data() + header, s.size() * 2);
  return s;
}

class RangeExtractTest : public ::testing::Test {
 protected:
  // 8 kHz mono blocks of one second, so a block's ramp value names its
  // second: the ramp counts samples from 09:59:55.
  static constexpr int kRate = 8000;
  void Feed(ChannelArchive& a, int64_t fromSecond, int seconds) {
    for (int i = 0; i < seconds; ++i) {
      const auto pcm = test::Ramp((fromSecond + i) * kRate, kRate, 1);
      a.FeedBlock(i % 10, reinterpret_cast<const uint8_t*>(pcm.data()), kRate * 2);
    }
  }
  void SetUp() override {
    record.Capturing = 1;
    ArchiveStart s;
    s.rate = kRate;
    s.bits = 16;
    s.channels = 1;
    s.blockAlign = 2;
    s.samplesPerBuffer = kRate;
    s.archiveOn = true;
    // 09:59:55 to 10:00:03 across the top of the hour, then a stop, and a
    // restart at 10:00:10 for two seconds.
    clock.Set(DateTime{2026, 12, 6, 9, 59, 55, 0});
    archive.StartArchive(s);
    Feed(archive, 0, 5);
    clock.Set(DateTime{2026, 12, 6, 10, 0, 0, 300});
    HourlyRollover hourly;
    ChannelArchive* all[] = {&archive};
    EXPECT_TRUE(hourly.Tick(clock, all));
    Feed(archive, 5, 3);
    archive.StopArchive();
    clock.Set(DateTime{2026, 12, 6, 10, 0, 10, 0});
    archive.StartArchive(s);
    Feed(archive, 15, 2);
    archive.StopArchive();
  }

  test::ScopedTimeZone zone{"UTC0"};
  test::TempDir dir;
  ManualClock clock{DateTime{2026, 12, 6, 9, 0, 0, 0}, 0};
  test::LogCapture log{clock, dir / "data"};
  ArchiveChannel record;
  ChannelArchive archive{0, record, clock, dir / "data"};
};

TEST_F(RangeExtractTest, WavIsExactToTheSampleAcrossTheHourAndAHole) {
  const ArchiveCatalog catalog = ScanArchive(dir / "data");
  ASSERT_EQ(catalog.files.size(), 3u);
  EXPECT_EQ(catalog.files[1].name, "20261206100000.wav");
  ASSERT_EQ(catalog.holes.size(), 1u);
  EXPECT_EQ(catalog.holes[0].startMs, Utc(10, 0, 3));
  EXPECT_EQ(catalog.holes[0].endMs, Utc(10, 0, 10));

  ExtractRequest request;
  request.fromMs = Utc(9, 59, 57) + 125;  // a cut inside a second, on a sample
  request.toMs = Utc(10, 0, 12);
  const Output out = Extract(catalog, request);
  ASSERT_TRUE(out.result.ok) << out.result.error;
  std::vector<int16_t> want = test::Ramp(2 * kRate + 1000, 6 * kRate - 1000, 1);
  want.resize(want.size() + 7 * kRate, 0);
  const auto tail = test::Ramp(15 * kRate, 2 * kRate, 1);
  want.insert(want.end(), tail.begin(), tail.end());
  EXPECT_EQ(Samples(out.bytes), want);
  ASSERT_EQ(out.holes.size(), 1u);
  EXPECT_EQ(out.holes[0].startMs, Utc(10, 0, 3));
  EXPECT_EQ(out.holes[0].endMs, Utc(10, 0, 10));

  // The edges of the archive are holes too; refusing to fill refuses.
  request.toMs = Utc(10, 0, 20);
  request.fill = false;
  const ExtractPlan refused = PlanExtract(catalog, request);
  EXPECT_NE(refused.error.find("2 holes"), std::string::npos) << refused.error;
  request.fromMs = Utc(9, 59, 56);
  request.toMs = Utc(10, 0, 2);
  EXPECT_EQ(PlanExtract(catalog, request).error, "");
}

TEST_F(RangeExtractTest, EncodedMp3HoldsTheRangeAndTheRefusalsAreClear) {
  const ArchiveCatalog catalog = ScanArchive(dir / "data");
  ExtractRequest request;
  request.fromMs = Utc(9, 59, 58);
  request.toMs = Utc(10, 0, 12);
  request.format = ExtractFormat::Mp3;
  const Output out = Extract(catalog, request);
  ASSERT_TRUE(out.result.ok) << out.result.error;
  test::WriteBytes(dir / "out.mp3", out.bytes);
  test::Decoded d;
  ASSERT_TRUE(test::DecodeWithMpg123(dir / "out.mp3", dir.Path(), d));
  EXPECT_EQ(d.rate, kRate);
  // 14 s, plus the encoder's delay and padding.
  EXPECT_GE(d.frames, 14 * kRate);
  EXPECT_LT(d.frames, 14 * kRate + 3 * 576);

  request.format = ExtractFormat::Mp3Copy;
  EXPECT_NE(PlanExtract(catalog, request).error.find("is a WAV file"), std::string::npos);
  request.format = ExtractFormat::Wav;
  request.fromMs = Utc(10, 1, 0);
  request.toMs = Utc(10, 2, 0);
  EXPECT_NE(PlanExtract(catalog, request).error.find("no archive"), std::string::npos);
  // A later file at another rate: the range over the change is refused.
  test::WriteRampWav(dir / "data/ch1/20261206100020.wav", 2, 0, 16000);
  request.fromMs = Utc(10, 0, 0);
  request.toMs = Utc(10, 0, 22);
  EXPECT_NE(PlanExtract(ScanArchive(dir / "data"), request).error.find("changes format"),
            std::string::npos);
  // A sink that fails stops the extract with the reason.
  request.toMs = Utc(10, 0, 2);
  ExtractEvents events;
  events.write = [](const uint8_t*, size_t) { return false; };
  const ExtractResult failed = RunExtract(PlanExtract(catalog, request), events);
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.error, "");
}

}  // namespace
}  // namespace varn
