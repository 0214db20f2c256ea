// Reading times for the archive commands, and the catalogue of a data
// folder: names, lengths from the files' content, holes, the repeated hour.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "archive/archive_catalog.h"
#include "archive/archive_time.h"
#include "archive/mp3acm.h"
#include "archive/wav_file.h"
#include "archive_test_support.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

// Central European time: summer time from 2026-03-29 02:00 (skipped hour)
// to 2026-10-25 03:00 (02:00..03:00 comes twice).
class CentralEuropeanZone {
 public:
  CentralEuropeanZone() {
    const char* old = std::getenv("TZ");
    if (old) old_ = old;
    had_ = old != nullptr;
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
  }
  ~CentralEuropeanZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool had_ = false;
};

int64_t Utc(int y, int mo, int d, int h, int mi, int s) {
  return EpochMsFromDateTime(DateTime{y, mo, d, h, mi, s, 0});
}

TEST(ArchiveTime, ReadsLocalOffsetAndUtcForms) {
  CentralEuropeanZone zone;
  // Winter: local = UTC + 1.
  auto r = ReadArchiveTime("2026-01-10 14:32:05");
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.epochMs, Utc(2026, 1, 10, 13, 32, 5));
  EXPECT_FALSE(r.repeatedHour);
  r = ReadArchiveTime(" 2026-07-01T14:32 ");  // summer, no seconds
  EXPECT_EQ(r.epochMs, Utc(2026, 7, 1, 12, 32, 0));
  EXPECT_EQ(ReadArchiveTime("2026-07-01 14:32:00Z").epochMs, Utc(2026, 7, 1, 14, 32, 0));
  EXPECT_EQ(ReadArchiveTime("2026-07-01 14:32:00+09:00").epochMs, Utc(2026, 7, 1, 5, 32, 0));
  EXPECT_EQ(ReadArchiveTime("2026-07-01T14:32:00-0230").epochMs, Utc(2026, 7, 1, 17, 2, 0));
  EXPECT_EQ(ReadArchiveTime("2026-07-01").epochMs, Utc(2026, 6, 30, 22, 0, 0));
  // Written back: local, UTC with Z, and each reads back as the same instant.
  const int64_t t = Utc(2026, 7, 1, 12, 32, 7);
  EXPECT_EQ(WriteLocalTime(t), "2026-07-01 14:32:07");
  EXPECT_EQ(WriteUtcTime(t), "2026-07-01 12:32:07Z");
  EXPECT_EQ(ReadArchiveTime(WriteUtcTime(t)).epochMs, t);
}

TEST(ArchiveTime, RepeatedAndSkippedHoursAndBadText) {
  CentralEuropeanZone zone;
  // 02:30 on 2026-10-25 is first 00:30 UTC (summer), then 01:30 UTC.
  auto r = ReadArchiveTime("2026-10-25 02:30:00");
  ASSERT_EQ(r.error, "");
  EXPECT_TRUE(r.repeatedHour);
  EXPECT_EQ(r.epochMs, Utc(2026, 10, 25, 0, 30, 0));
  r = ReadArchiveTime("2026-10-25 02:30:00+01:00");
  EXPECT_FALSE(r.repeatedHour);
  EXPECT_EQ(r.epochMs, Utc(2026, 10, 25, 1, 30, 0));
  // Both passes are written with their offset, so they stay apart.
  EXPECT_EQ(WriteLocalTime(Utc(2026, 10, 25, 0, 30, 0)), "2026-10-25 02:30:00+02:00");
  EXPECT_EQ(WriteLocalTime(Utc(2026, 10, 25, 1, 30, 0)), "2026-10-25 02:30:00+01:00");
  EXPECT_EQ(ReadArchiveTime(WriteLocalTime(Utc(2026, 10, 25, 1, 30, 0))).epochMs,
            Utc(2026, 10, 25, 1, 30, 0));
  EXPECT_FALSE(ReadArchiveTime("2026-10-25 03:00:00").repeatedHour);

  r = ReadArchiveTime("2026-03-29 02:15:00");
  EXPECT_NE(r.error.find("does not exist"), std::string::npos) << r.error;
  EXPECT_EQ(ReadArchiveTime("2026-03-29 02:15:00Z").error, "");

  for (const char* bad : {"", "yesterday", "2026-13-01 00:00:00", "2026-02-29 10:00:00",
                          "2026-01-01 24:00:00", "2026-01-01 10:61", "2026-01-01 10:00:00+25:00",
                          "2026-01-01 10:00:00 extra", "2026/01/01 10:00:00", "20260101"})
    EXPECT_NE(ReadArchiveTime(bad).error, "") << bad;
}

// A 16-bit WAV archive file of `seconds` at 8 kHz holding a ramp from `first`.
void PlaceWav(const std::string& path, int seconds, int64_t first = 0, int rate = 8000,
              int channels = 1) {
  const auto samples = test::Ramp(first, int64_t{seconds} * rate, channels);
  std::vector<uint8_t> bytes =
      BuildWavHeader(rate, 16, channels, static_cast<uint32_t>(samples.size() * 2));
  const auto* p = reinterpret_cast<const uint8_t*>(samples.data());
  bytes.insert(bytes.end(), p, p + samples.size() * 2);
  test::WriteBytes(path, bytes);
}

TEST(ArchiveCatalog, NamesLengthsHolesAndForeignFiles) {
  CentralEuropeanZone zone;
  test::TempDir dir;
  test::Shell("mkdir -p " + dir / "ch1/sub " + dir / "ch2 " + dir / "other");
  PlaceWav(dir / "ch1/20260110100000.wav", 4);
  PlaceWav(dir / "ch1/20260110100004.wav", 3);    // follows without a hole
  PlaceWav(dir / "ch1/20260110100004_1.wav", 1);  // a restart within the second
  PlaceWav(dir / "ch1/20260110100010.wav", 2);    // 3 s hole before it
  test::WriteText(dir / "ch1/20260110100000.wav.sha256", "x");
  test::WriteText(dir / "ch1/notes.wav", "x");
  test::WriteText(dir / "ch1/2026011010000.wav", "x");
  PlaceWav(dir / "ch1/sub/20260110100020.wav", 1);
  PlaceWav(dir / "other/20260110100000.wav", 1);
  // A file cut short: the header says 4 s, 1.5 s are there.
  PlaceWav(dir / "ch2/20260110100000.wav", 4);
  test::Shell("truncate -s " + std::to_string(44 + 12000 * 2) + " " +
              dir / "ch2/20260110100000.wav");
  test::WriteText(dir / "ch2/20260110110000.mp3", "not audio at all, only text");

  // The program's own MP3: 3 s at 48 kHz stereo.
  PlaceWav(dir / "src.wav", 3, 0, 48000, 2);
  C_mp3acm acm;
  ASSERT_TRUE(acm.EncFromWavfile(dir / "src.wav", dir / "ch2/20260110120000.mp3", 128));

  const ArchiveCatalog cat = ScanArchive(dir.Path());
  EXPECT_EQ(cat.channels, (std::vector<int>{1, 2}));
  std::vector<std::string> names;
  for (const auto& e : cat.files) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"20260110100000.wav", "20260110100004.wav",
                                             "20260110100004_1.wav", "20260110100010.wav",
                                             "20260110100000.wav", "20260110110000.mp3",
                                             "20260110120000.mp3"}));
  ASSERT_EQ(cat.files.size(), 7u);
  EXPECT_EQ(cat.files[0].startMs, Utc(2026, 1, 10, 9, 0, 0));
  EXPECT_EQ(cat.files[0].frames, 32000);
  EXPECT_EQ(cat.files[2].suffix, 1);
  EXPECT_EQ(cat.files[4].frames, 12000);
  EXPECT_EQ(cat.files[4].error, "");
  EXPECT_NE(cat.files[5].error, "");
  const ArchiveFileEntry& mp3 = cat.files[6];
  EXPECT_EQ(mp3.error, "");
  EXPECT_EQ(ArchiveFormatText(mp3), "mp3 48000Hz 2ch 128kbps");
  // Whole frames: at least the 3 s given, at most the encoder's delay and
  // one frame of padding more.
  EXPECT_EQ(mp3.frames % 1152, 0);
  EXPECT_GE(mp3.frames, 144000);
  EXPECT_LE(mp3.frames, 144000 + 1152 * 3);
  test::Mpg123View view;
  ASSERT_TRUE(test::ViewWithMpg123(mp3.path, view));
  EXPECT_EQ(mp3.frames, int64_t{view.frames} * 1152);

  // The unreadable file holds no audio that is known: the hole runs past it.
  ASSERT_EQ(cat.holes.size(), 2u);
  EXPECT_EQ(cat.holes[0].channel, 1);
  EXPECT_EQ(cat.holes[0].startMs, Utc(2026, 1, 10, 9, 0, 7));
  EXPECT_EQ(cat.holes[0].endMs, Utc(2026, 1, 10, 9, 0, 10));
  EXPECT_EQ(cat.holes[1].startMs, Utc(2026, 1, 10, 9, 0, 1) + 500);
  EXPECT_EQ(cat.holes[1].endMs, Utc(2026, 1, 10, 11, 0, 0));
  EXPECT_EQ(HolesInRange(cat, 1, Utc(2026, 1, 10, 9, 0, 8), Utc(2026, 1, 10, 9, 0, 9)).size(), 1u);
  EXPECT_EQ(FilesInRange(cat, 1, Utc(2026, 1, 10, 9, 0, 3), Utc(2026, 1, 10, 9, 0, 5)).size(), 3u);
  EXPECT_EQ(ScanArchive(dir.Path(), 2).files.size(), 3u);
  EXPECT_TRUE(ScanArchive(dir / "missing").files.empty());
}

TEST(ArchiveCatalog, RepeatedHourUsesSuffixAndOrder) {
  CentralEuropeanZone zone;
  test::TempDir dir;
  test::Shell("mkdir -p " + dir / "ch1");
  // First pass 02:00 CEST (00:00 UTC) for 10 s; second pass the same name
  // with "_1".
  PlaceWav(dir / "ch1/20261025020000.wav", 10);
  PlaceWav(dir / "ch1/20261025020000_1.wav", 3);
  PlaceWav(dir / "ch1/20261025015959.wav", 2);  // before the repeated hour
  const ArchiveCatalog cat = ScanArchive(dir.Path());
  ASSERT_EQ(cat.files.size(), 3u);
  EXPECT_EQ(cat.files[1].name, "20261025020000.wav");
  EXPECT_EQ(cat.files[1].startMs, Utc(2026, 10, 25, 0, 0, 0));
  EXPECT_TRUE(cat.files[1].repeatedHour);
  EXPECT_EQ(cat.files[2].name, "20261025020000_1.wav");
  EXPECT_EQ(cat.files[2].startMs, Utc(2026, 10, 25, 1, 0, 0));
  // A name with no twin that would overlap the first pass goes to the second.
  PlaceWav(dir / "ch1/20261025020005.wav", 1);
  const ArchiveCatalog again = ScanArchive(dir.Path());
  ASSERT_EQ(again.files.size(), 4u);
  EXPECT_EQ(again.files[3].name, "20261025020005.wav");
  EXPECT_EQ(again.files[3].startMs, Utc(2026, 10, 25, 1, 0, 5));
}

}  // namespace
}  // namespace varn
