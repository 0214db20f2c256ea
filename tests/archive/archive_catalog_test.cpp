// Reading times for the archive commands, and the catalogue of a data
// folder: names, lengths from the files' content, holes, the repeated hour.

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "archive/archive_catalog.h"
#include "archive/archive_time.h"
#include "archive/mp3acm.h"
#include "archive/mpeg_frames.h"
#include "archive/wav_file.h"
#include "archive_test_support.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

int64_t Utc(int y, int mo, int d, int h, int mi, int s) {
  return EpochMsFromDateTime(DateTime{y, mo, d, h, mi, s, 0});
}

TEST(ArchiveTime, ReadsLocalOffsetAndUtcForms) {
  test::ScopedTimeZone zone(test::kCentralEurope);
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
  test::ScopedTimeZone zone(test::kCentralEurope);
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

TEST(ArchiveCatalog, NamesLengthsHolesAndForeignFiles) {
  test::ScopedTimeZone zone(test::kCentralEurope);
  test::TempDir dir;
  test::Shell("mkdir -p " + dir / "ch1/sub " + dir / "ch2 " + dir / "other");
  test::WriteRampWav(dir / "ch1/20260110100000.wav", 4);
  test::WriteRampWav(dir / "ch1/20260110100004.wav", 3);    // follows without a hole
  test::WriteRampWav(dir / "ch1/20260110100004_1.wav", 1);  // a restart within the second
  test::WriteRampWav(dir / "ch1/20260110100010.wav", 2);    // 3 s hole before it
  test::WriteText(dir / "ch1/20260110100000.wav.sha256", "x");
  test::WriteText(dir / "ch1/notes.wav", "x");
  test::WriteText(dir / "ch1/2026011010000.wav", "x");
  test::WriteRampWav(dir / "ch1/sub/20260110100020.wav", 1);
  test::WriteRampWav(dir / "other/20260110100000.wav", 1);
  // A file cut short: the header says 4 s, 1.5 s are there.
  test::WriteRampWav(dir / "ch2/20260110100000.wav", 4);
  test::Shell("truncate -s " + std::to_string(44 + 12000 * 2) + " " +
              dir / "ch2/20260110100000.wav");
  test::WriteText(dir / "ch2/20260110110000.mp3", "not audio at all, only text");

  // The program's own MP3: 3 s at 48 kHz stereo.
  test::WriteRampWav(dir / "src.wav", 3, 0, 48000, 2);
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
  // Cut inside its last frame: the whole frames before it count.
  test::Shell("mkdir -p " + dir / "ch3 && cp " + mp3.path + " " +
              dir / "ch3/20260110120000.mp3 && truncate -s -100 " + dir / "ch3/20260110120000.mp3");
  const ArchiveCatalog cut = ScanArchive(dir.Path(), 3);
  ASSERT_EQ(cut.files.size(), 1u);
  EXPECT_EQ(cut.files[0].frames, mp3.frames - 1152);

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
  // A window reads what may touch it, and nothing named days away.
  test::WriteRampWav(dir / "ch1/20260101100000.wav", 1);
  const ArchiveCatalog near = ScanArchive(
      dir.Path(), 1, ArchiveWindow{Utc(2026, 1, 10, 9, 0, 5), Utc(2026, 1, 10, 9, 0, 6)});
  EXPECT_EQ(near.files.size(), 4u);
  EXPECT_EQ(near.holes.size(), 1u);
}

TEST(ArchiveCatalog, WavLengthIsWhatIsReallyThere) {
  test::ScopedTimeZone zone("UTC0");
  test::TempDir dir;
  test::Shell("mkdir -p " + dir / "ch4");
  // Still being written: the header says 1 s, 2 s are there.
  const std::string growing = dir / "ch4/20260110100000.wav";
  test::WriteRampWav(growing, 2);
  auto bytes = test::ReadBytes(growing);
  const uint32_t oneSecond = 16000;
  std::memcpy(bytes.data() + 40, &oneSecond, 4);
  test::WriteBytes(growing, bytes);
  // A chunk after the data is not audio.
  const std::string tagged = dir / "ch4/20260110100002.wav";
  test::WriteRampWav(tagged, 1);
  bytes = test::ReadBytes(tagged);
  for (const char c : std::string("LIST\4\0\0\0abcd", 12)) bytes.push_back(static_cast<uint8_t>(c));
  test::WriteBytes(tagged, bytes);
  // Six channels: the extensible header.
  std::vector<uint8_t> six = BuildWavHeader(8000, 16, 6, 8000 * 12);
  six.resize(six.size() + 8000 * 12);
  test::WriteBytes(dir / "ch4/20260110100003.wav", six);

  const ArchiveCatalog cat = ScanArchive(dir.Path(), 4);
  ASSERT_EQ(cat.files.size(), 3u);
  EXPECT_EQ(cat.files[0].frames, 16000);
  EXPECT_EQ(cat.files[1].frames, 8000);
  EXPECT_EQ(cat.files[2].error, "");
  EXPECT_EQ(cat.files[2].channels, 6);
  EXPECT_EQ(cat.files[2].frames, 8000);
  EXPECT_TRUE(cat.holes.empty());
}

TEST(ArchiveCatalog, Mp3FramesCountedFromTheSizeAgreeWithAWalk) {
  test::TempDir dir;
  // Rates with padded frames (44.1 and 22.05 kHz) and without (48 kHz).
  for (const auto& [rate, channels, kbps] :
       {std::tuple{44100, 2, 128}, std::tuple{22050, 1, 40}, std::tuple{48000, 2, 192}}) {
    test::WriteWav(dir / "src.wav", rate, channels,
                   test::ToneFrames(500, rate, 3 * rate, channels));
    C_mp3acm codec;
    ASSERT_TRUE(codec.EncFromWavfile(dir / "src.wav", dir / "a.mp3", kbps));
    for (const int cut : {0, 1, 100, 417, 1000}) {
      SCOPED_TRACE(std::to_string(rate) + " Hz, cut " + std::to_string(cut));
      test::Shell("cp " + dir / "a.mp3 " + dir / "b.mp3 && truncate -s -" + std::to_string(cut) +
                  " " + dir / "b.mp3");
      const OpenFile file = OpenForReading(dir / "b.mp3");
      const MpegFrameWalk walk = WalkMpegFrames(file, {});
      const MpegFrameWalk count = CountMpegFrames(file);
      EXPECT_GT(walk.frames, 100);
      EXPECT_EQ(count.frames, walk.frames);
      EXPECT_EQ(count.end, walk.end);
    }
  }
}

TEST(ArchiveCatalog, RepeatedHourUsesSuffixAndOrder) {
  test::ScopedTimeZone zone(test::kCentralEurope);
  test::TempDir dir;
  test::Shell("mkdir -p " + dir / "ch1");
  // First pass 02:00 CEST (00:00 UTC) for 10 s; second pass the same name
  // with "_1".
  test::WriteRampWav(dir / "ch1/20261025020000.wav", 10);
  test::WriteRampWav(dir / "ch1/20261025020000_1.wav", 3);
  test::WriteRampWav(dir / "ch1/20261025015959.wav", 2);  // before the repeated hour
  const ArchiveCatalog cat = ScanArchive(dir.Path());
  ASSERT_EQ(cat.files.size(), 3u);
  EXPECT_EQ(cat.files[1].name, "20261025020000.wav");
  EXPECT_EQ(cat.files[1].startMs, Utc(2026, 10, 25, 0, 0, 0));
  EXPECT_TRUE(cat.files[1].repeatedHour);
  EXPECT_EQ(cat.files[2].name, "20261025020000_1.wav");
  EXPECT_EQ(cat.files[2].startMs, Utc(2026, 10, 25, 1, 0, 0));
  // A name with no twin that would overlap the first pass goes to the second.
  test::WriteRampWav(dir / "ch1/20261025020005.wav", 1);
  const ArchiveCatalog again = ScanArchive(dir.Path());
  ASSERT_EQ(again.files.size(), 4u);
  EXPECT_EQ(again.files[3].name, "20261025020005.wav");
  EXPECT_EQ(again.files[3].startMs, Utc(2026, 10, 25, 1, 0, 5));
}

}  // namespace
}  // namespace varn
