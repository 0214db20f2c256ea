#include "archive/channel_archive.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "archive/record_path.h"
#include "archive/wav_file.h"
#include "archive_test_support.h"
#include "settings/folders.h"

namespace varn {
namespace {

ArchiveStart Wav(int rate, int channels, int samplesPerBuffer) {
  ArchiveStart s;
  s.rate = rate;
  s.bits = 16;
  s.channels = channels;
  s.blockAlign = 2 * channels;
  s.bitRate = 0;
  s.samplesPerBuffer = samplesPerBuffer;
  s.archiveOn = true;
  return s;
}

ArchiveStart Mp3(int rate, int channels, int kbps) {
  ArchiveStart s = Wav(rate, channels, 13824);
  s.bitRate = kbps;
  return s;
}

class ChannelArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { record.Capturing = 1; }
  // Feeds `blocks` capture buffers of S frames of a ramp that goes on from
  // where the last one ended.
  void FeedRamp(ChannelArchive& a, const ArchiveStart& s, int blocks) {
    for (int i = 0; i < blocks; ++i) {
      const std::vector<int16_t> pcm = test::Ramp(rampAt, s.samplesPerBuffer, s.channels);
      rampAt += s.samplesPerBuffer;
      a.FeedBlock(fed++ % 10, reinterpret_cast<const uint8_t*>(pcm.data()),
                  s.samplesPerBuffer * s.blockAlign);
    }
  }
  void FeedSine(ChannelArchive& a, const ArchiveStart& s, int blocks, int byteCount = 0) {
    const std::vector<int16_t> pcm =
        test::ToneFrames(500, s.rate, s.samplesPerBuffer + 1, s.channels);
    for (int i = 0; i < blocks; ++i)
      a.FeedBlock(fed++ % 10, reinterpret_cast<const uint8_t*>(pcm.data()),
                  byteCount > 0 ? byteCount : s.samplesPerBuffer * s.blockAlign);
  }
  std::string Data() const { return dir / "data/"; }

  test::TempDir dir;
  ManualClock clock{DateTime{2026, 12, 6, 9, 13, 20, 400}, 9 * 3600};
  test::LogCapture log{clock, dir / "data"};
  ArchiveChannel record;
  ChannelArchive archive{0, record, clock, dir / "data"};
  int64_t rampAt = 0;
  int fed = 0;
};

TEST_F(ChannelArchiveTest, AWavRunStartsWithAHeaderInTheChannelFolder) {
  const ArchiveStart s = Wav(44100, 2, 12700);
  EXPECT_EQ(archive.StartArchive(s), 0);
  EXPECT_EQ(record.CurrentPath, Data() + "ch1/20261206091320.wav");
  EXPECT_EQ(record.Extension, ".wav");
  const WavInfo w = ReadWavInfo(record.CurrentPath);
  ASSERT_EQ(w.Valid, 1);
  EXPECT_EQ(w.SampleRate, 44100);
  EXPECT_EQ(w.Channels, 2);
  EXPECT_EQ(w.DataSize, 0);
  EXPECT_EQ(archive.Buffer().Capacity, 705600);
  EXPECT_EQ(archive.Buffer().FileName, "");

  ArchiveChannel third;
  ChannelArchive other(2, third, clock, Data() + "deeper/still");
  other.StartArchive(Wav(8000, 1, 2304));
  EXPECT_EQ(third.CurrentPath, Data() + "deeper/still/ch3/20261206091320.wav");
  EXPECT_TRUE(FileExists(third.CurrentPath));
}

TEST_F(ChannelArchiveTest, ARestartWithinTheSameSecondKeepsTheEarlierFile) {
  const ArchiveStart s = Wav(8000, 1, 2304);
  archive.StartArchive(s);
  FeedRamp(archive, s, 3);
  archive.StopArchive();
  const std::string first = record.CurrentPath;
  ASSERT_EQ(ReadWavInfo(first).FrameCount, 3 * 2304);
  archive.StartArchive(s);
  EXPECT_EQ(record.CurrentPath, Data() + "ch1/20261206091320_1.wav");
  archive.StopArchive();
  archive.StartArchive(s);
  EXPECT_EQ(record.CurrentPath, Data() + "ch1/20261206091320_2.wav");
  EXPECT_EQ(ReadWavInfo(first).FrameCount, 3 * 2304);
  EXPECT_EQ(MakeRecordPath(0, Data(), ".wav", clock), Data() + "ch1/20261206091320_3.wav");
}

// Each failed step says why, so a folder in the way reads differently from
// a full disk or a permission.
TEST_F(ChannelArchiveTest, AnArchiveFolderThatCannotBeMadeIsNamedWithTheReason) {
  test::WriteText(dir / "blocked", "a file where the data folder should be");
  ArchiveChannel second;
  second.Capturing = 1;
  ChannelArchive blocked(1, second, clock, dir / "blocked");
  const ArchiveStart s = Wav(8000, 1, 2304);
  blocked.StartArchive(s);
  const std::string path = dir / "blocked/ch2/20261206091320.wav";
  ASSERT_EQ(second.CurrentPath, path);
  const std::string reason = " (cannot create " + path + ": Not a directory)";
  EXPECT_EQ(log.CountDiagnostics("MakeRecordPath err folder=" + dir / "blocked/ch2" +
                                 " (Not a directory)"),
            1);
  EXPECT_EQ(log.CountDiagnostics("WriteWavHeader err pl=1 FN=" + path + reason), 1);
  FeedRamp(blocked, s, 14);  // one disk buffer's worth
  EXPECT_EQ(
      log.CountDiagnostics("WriteDiskBuffer err2 pl=1 FN=" + path + " CurrentSize=59904" + reason),
      1);
}

TEST_F(ChannelArchiveTest, AStartWithoutAStopStillWritesOutTheLastRun) {
  const ArchiveStart s = Wav(8000, 2, 2304);
  archive.StartArchive(s);
  const std::string first = record.CurrentPath;
  FeedRamp(archive, s, 5);
  EXPECT_EQ(ReadWavInfo(first).DataSize, 0);  // all still buffered
  clock.Advance(1.0);
  archive.StartArchive(s);
  EXPECT_EQ(test::ReadPcmWav(first), test::Ramp(0, 5 * 2304, 2));
  EXPECT_NE(record.CurrentPath, first);
}

TEST_F(ChannelArchiveTest, WavFilesJoinWithoutAGapAcrossTheHour) {
  const ArchiveStart s = Wav(44100, 2, 12700);
  clock.Set(DateTime{2026, 12, 6, 9, 59, 50, 0});
  archive.StartArchive(s);
  const std::string before = record.CurrentPath;
  HourlyRollover hourly;
  ChannelArchive* all[] = {&archive};
  FeedRamp(archive, s, 17);  // buffers of 0.288 s: the hour falls in the 35th
  EXPECT_FALSE(hourly.Tick(clock, all));
  clock.Set(DateTime{2026, 12, 6, 10, 0, 0, 300});
  ASSERT_TRUE(hourly.Tick(clock, all));
  const std::string after = record.CurrentPath;
  EXPECT_EQ(after, Data() + "ch1/20261206100000.wav");
  EXPECT_EQ(record.RolloverPending, 1);
  EXPECT_EQ(ReadWavInfo(after).Valid, 1);
  FeedRamp(archive, s, 13);
  EXPECT_EQ(record.RolloverPending, 0);
  archive.StopArchive();

  const std::vector<int16_t> a = test::ReadPcmWav(before);
  const std::vector<int16_t> b = test::ReadPcmWav(after);
  EXPECT_EQ(a.size(), 17u * 12700 * 2);
  std::vector<int16_t> joined = a;
  joined.insert(joined.end(), b.begin(), b.end());
  EXPECT_EQ(joined, test::Ramp(0, 30 * 12700, 2));
}

TEST_F(ChannelArchiveTest, TheHourIsCheckedOncePerWholeSecond) {
  const ArchiveStart s = Wav(8000, 1, 2304);
  ArchiveChannel idleRecord;  // running but not archiving
  ChannelArchive idle(1, idleRecord, clock, Data());
  idleRecord.Capturing = 1;
  idleRecord.ArcOn = 0;
  ArchiveChannel stoppedRecord;  // archiving wanted but not running
  ChannelArchive stopped(2, stoppedRecord, clock, Data());
  clock.Set(DateTime{2026, 12, 6, 23, 59, 59, 0});
  archive.StartArchive(s);
  stopped.StartArchive(s);
  stopped.StopArchive();
  idle.StartArchive([&] {
    ArchiveStart n = s;
    n.archiveOn = false;
    return n;
  }());
  idleRecord.ArcOn = 1;  // switched on without a restart: not before the next start
  ChannelArchive* all[] = {&archive, &idle, nullptr, &stopped};
  HourlyRollover hourly;

  clock.Set(DateTime{2026, 12, 6, 23, 59, 59, 995});
  EXPECT_FALSE(hourly.Tick(clock, all));
  clock.Set(DateTime{2026, 12, 7, 0, 0, 0, 5});
  EXPECT_FALSE(hourly.Tick(clock, all));  // within 0.01 s of midnight
  clock.Set(DateTime{2026, 12, 7, 0, 0, 0, 20});
  EXPECT_TRUE(hourly.Tick(clock, all));
  EXPECT_EQ(record.CurrentPath, Data() + "ch1/20261207000000.wav");
  EXPECT_EQ(idleRecord.CurrentPath, "");
  EXPECT_EQ(idleRecord.RolloverPending, 0);
  EXPECT_EQ(stoppedRecord.RolloverPending, 0);
  record.RolloverPending = 0;
  clock.Set(DateTime{2026, 12, 7, 0, 0, 0, 900});
  EXPECT_FALSE(hourly.Tick(clock, all));  // same second
  EXPECT_EQ(record.RolloverPending, 0);
  clock.Set(DateTime{2026, 12, 7, 0, 0, 1, 0});
  EXPECT_FALSE(hourly.Tick(clock, all));
  clock.Set(DateTime{2026, 12, 7, 1, 0, 0, 0});
  EXPECT_TRUE(hourly.Tick(clock, all));
  EXPECT_EQ(record.CurrentPath, Data() + "ch1/20261207010000.wav");
}

TEST_F(ChannelArchiveTest, AStallOverTheTopOfTheHourStartsTheNewFileLate) {
  const ArchiveStart s = Wav(8000, 1, 2304);
  clock.Set(DateTime{2026, 12, 6, 9, 59, 58, 0});
  archive.StartArchive(s);
  const std::string before = record.CurrentPath;
  ChannelArchive* all[] = {&archive};
  HourlyRollover hourly;
  clock.Set(DateTime{2026, 12, 6, 9, 59, 59, 500});
  EXPECT_FALSE(hourly.Tick(clock, all));
  clock.Set(DateTime{2026, 12, 6, 10, 0, 2, 300});  // no tick during 10:00:00
  ASSERT_TRUE(hourly.Tick(clock, all));
  EXPECT_EQ(record.CurrentPath, Data() + "ch1/20261206100002.wav");
  EXPECT_NE(record.CurrentPath, before);
  clock.Set(DateTime{2026, 12, 6, 10, 0, 3, 0});
  EXPECT_FALSE(hourly.Tick(clock, all));
  archive.StopArchive();
}

class HourlyRolloverTest : public ::testing::Test {
 protected:
  HourlyRollover::Step At(int day, int hour, int minute, int second, int ms) {
    clock.Set(DateTime{2026, 12, day, hour, minute, second, ms});
    return rollover.Advance(clock.Now());
  }
  ManualClock clock;
  HourlyRollover rollover;
};

TEST_F(HourlyRolloverTest, TheHourIsNewWhenTheProcessedSecondsLieInDifferentHours) {
  At(6, 9, 59, 59, 500);
  EXPECT_TRUE(At(6, 10, 0, 2, 300).newHour);  // a stall over the top of the hour
  EXPECT_FALSE(At(6, 10, 0, 3, 0).newHour);

  At(6, 23, 59, 59, 500);
  EXPECT_TRUE(At(7, 0, 0, 0, 500).newHour);  // midnight

  At(7, 10, 30, 0, 0);
  EXPECT_TRUE(At(8, 10, 30, 0, 0).newHour);  // a stall of a whole day

  At(9, 2, 59, 59, 500);
  EXPECT_TRUE(At(9, 2, 0, 0, 500).newHour);  // the hour repeated when summer time ends
}

TEST_F(HourlyRolloverTest, EachWholeSecondCountsOnceAndOnlyInsideTheWindow) {
  At(6, 23, 59, 58, 0);
  // Braced lists run in order: the last 0.01 s of one day, the first of the next.
  for (const HourlyRollover::Step outside : {At(6, 23, 59, 59, 995), At(7, 0, 0, 0, 5)}) {
    EXPECT_FALSE(outside.newSecond);
    EXPECT_FALSE(outside.newHour);
  }
  const HourlyRollover::Step first = At(7, 0, 0, 0, 20);
  EXPECT_TRUE(first.newSecond);
  EXPECT_TRUE(first.newHour);

  At(7, 9, 59, 59, 900);
  EXPECT_TRUE(At(7, 10, 0, 0, 100).newHour);
  const HourlyRollover::Step again = At(7, 10, 0, 0, 800);
  EXPECT_FALSE(again.newSecond);
  EXPECT_FALSE(again.newHour);
  const HourlyRollover::Step next = At(7, 10, 0, 1, 0);
  EXPECT_TRUE(next.newSecond);
  EXPECT_FALSE(next.newHour);
}

TEST_F(HourlyRolloverTest, TheFirstSecondAfterAStartOrResetCountsOnlyAtTheTopOfAnHour) {
  const HourlyRollover::Step started = At(6, 10, 20, 0, 0);
  EXPECT_TRUE(started.newSecond);
  EXPECT_FALSE(started.newHour);

  HourlyRollover atTheTop;
  clock.Set(DateTime{2026, 12, 6, 10, 0, 0, 400});
  EXPECT_TRUE(atTheTop.Advance(clock.Now()).newHour);

  At(6, 10, 59, 59, 0);
  rollover.Reset();
  EXPECT_FALSE(At(6, 11, 20, 0, 0).newHour);  // no longer compared with 10:59:59
}

TEST_F(ChannelArchiveTest, AnArchiveThatIsOffWritesNothing) {
  ArchiveStart s = Mp3(44100, 2, 160);
  s.archiveOn = false;
  record.ArcOn = 0;
  EXPECT_EQ(archive.StartArchive(s), 160);
  EXPECT_FALSE(archive.Archiving());
  FeedSine(archive, s, 3);
  archive.StopArchive();
  EXPECT_FALSE(FolderExists(Data() + "ch1"));
  EXPECT_EQ(log.Diagnostics(), "");
}

TEST_F(ChannelArchiveTest, AnMp3RunKeepsEveryFrameUpToTheStop) {
  const ArchiveStart s = Mp3(44100, 2, 160);
  EXPECT_EQ(archive.StartArchive(s), 160);
  EXPECT_EQ(record.CurrentPath, Data() + "ch1/20261206091320.mp3");
  EXPECT_EQ(archive.Buffer().Capacity, 225280);
  EXPECT_FALSE(FileExists(record.CurrentPath));  // made by the first write
  FeedSine(archive, s, 35);
  EXPECT_FALSE(FileExists(record.CurrentPath));  // 11 s of MP3 stay buffered
  FeedSine(archive, s, 2);
  EXPECT_TRUE(FileExists(record.CurrentPath));  // one buffer full went out
  archive.StopArchive();
  EXPECT_EQ(archive.Encoder().Stream, nullptr);

  test::Decoded d;
  ASSERT_TRUE(test::DecodeWithMpg123(record.CurrentPath, dir.Path(), d));
  EXPECT_EQ(d.rate, 44100);
  EXPECT_EQ(d.channels, 2);
  // The encoder's delay comes first; the last block's audio is all there.
  EXPECT_GE(d.frames, 37 * 13824 + 576);
  EXPECT_LT(d.frames, 37 * 13824 + 576 + 2 * 1152);
  const std::vector<int> begins = test::MainDataBegins(test::ReadBytes(record.CurrentPath));
  ASSERT_FALSE(begins.empty());
  EXPECT_EQ(std::count(begins.begin(), begins.end(), 0), static_cast<long>(begins.size()));
  EXPECT_EQ(log.Diagnostics(), "");
}

TEST_F(ChannelArchiveTest, EachHourlyMp3FileDecodesOnItsOwn) {
  const ArchiveStart s = Mp3(48000, 1, 64);
  clock.Set(DateTime{2026, 12, 6, 10, 59, 58, 0});
  archive.StartArchive(s);
  const std::string first = record.CurrentPath;
  FeedSine(archive, s, 20);
  clock.Set(DateTime{2026, 12, 6, 11, 0, 0, 100});
  ChannelArchive* all[] = {&archive};
  HourlyRollover hourly;
  ASSERT_TRUE(hourly.Tick(clock, all));
  const std::string second = record.CurrentPath;
  EXPECT_EQ(second, Data() + "ch1/20261206110000.mp3");
  FeedSine(archive, s, 20);
  archive.StopArchive();

  int64_t total = 0;
  for (const std::string& file : {first, second}) {
    SCOPED_TRACE(file);
    const std::vector<uint8_t> bytes = test::ReadBytes(file);
    ASSERT_FALSE(bytes.empty());
    const std::vector<int> begins = test::MainDataBegins(bytes);
    ASSERT_FALSE(begins.empty());
    EXPECT_EQ(begins.front(), 0);  // the first frame borrows nothing from the old file
    EXPECT_EQ(std::count(begins.begin(), begins.end(), 0), static_cast<long>(begins.size()));
    test::Decoded d;
    ASSERT_TRUE(test::DecodeWithMpg123(file, dir.Path(), d));
    EXPECT_EQ(d.rate, 48000);
    EXPECT_EQ(d.channels, 1);
    total += d.frames;
  }
  // Together they hold every frame once.
  EXPECT_GE(total, 40 * 13824 + 576);
  EXPECT_LT(total, 40 * 13824 + 576 + 2 * 1152);
}

TEST_F(ChannelArchiveTest, ARateMp3CannotCarryIsArchivedAsWav) {
  const ArchiveStart s = Mp3(96000, 2, 160);
  EXPECT_EQ(archive.StartArchive(s), 0);
  EXPECT_EQ(log.CountEvents("エンコーダ初期化失敗 ch1"), 1);
  // A direct line: the local time and the text, no UTC or channel fields.
  EXPECT_NE(log.Events().find("2026/12/06 09:13:20 エンコーダ初期化失敗 ch1\r\n"),
            std::string::npos);
  EXPECT_EQ(record.Extension, ".wav");
  EXPECT_EQ(record.CurrentPath, Data() + "ch1/20261206091320.wav");
  EXPECT_EQ(archive.Buffer().Capacity, 4 * 96000 * 4);
  FeedRamp(archive, s, 12);  // 12 blocks of 13824 frames
  archive.StopArchive();
  const WavInfo w = ReadWavInfo(record.CurrentPath);
  ASSERT_EQ(w.Valid, 1);
  EXPECT_EQ(w.SampleRate, 96000);
  EXPECT_EQ(test::ReadPcmWav(record.CurrentPath), test::Ramp(0, 12 * 13824, 2));
}

TEST_F(ChannelArchiveTest, EncoderTroubleIsLoggedPerBlock) {
  const ArchiveStart s = Mp3(44100, 2, 128);
  archive.StartArchive(s);
  // Blocks that end in half a frame: the odd byte is not consumed.
  FeedSine(archive, s, 2, 55297);
  EXPECT_EQ(
      log.CountDiagnostics("mp3enc err tUsed(0)=55296 tBytes=55297 pl=0 FN=" + record.CurrentPath),
      2);
  // The first block fixed the size: a block of another size is lost.
  FeedSine(archive, s, 1, 55296);
  EXPECT_EQ(log.CountDiagnostics("mp3enc err EncProc Failed pl=0 l=2 FN=" + record.CurrentPath), 1);
  EXPECT_EQ(log.CountDiagnostics("EncProc Fail c_EncSize=55297 pSize=55296"), 1);
  FeedSine(archive, s, 1, 55297);
  archive.StopArchive();
  test::Decoded d;
  ASSERT_TRUE(test::DecodeWithMpg123(record.CurrentPath, dir.Path(), d));
  EXPECT_GE(d.frames, 3 * 13824);
  EXPECT_LT(d.frames, 4 * 13824);
}

class FullDiskTest : public ChannelArchiveTest {
 protected:
  void SetUp() override {
    ChannelArchiveTest::SetUp();
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  }
  void TearDown() override {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  // No file may grow past `bytes` (a disk that is full at that size).
  void LimitFiles(rlim_t bytes) {
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
  }
  void Unlimit() { setrlimit(RLIMIT_FSIZE, &old_); }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

TEST_F(FullDiskTest, TheArchiveDropsWhatCannotBeWrittenAndResumes) {
  // 8000 Hz mono: blocks of 4608 bytes, a buffer of 64000 bytes written
  // every 13 blocks (59904 bytes).
  const ArchiveStart s = Wav(8000, 1, 2304);
  archive.StartArchive(s);
  const std::string path = record.CurrentPath;
  FeedRamp(archive, s, 14);
  ASSERT_EQ(GetFileSizeByName(path), 44 + 59904);

  LimitFiles(100000);  // the next write would pass it
  FeedRamp(archive, s, 26);
  Unlimit();
  EXPECT_EQ(log.CountDiagnostics("WriteDiskBuffer err2 pl=0 FN=" + path + " CurrentSize=59904"), 2);
  // The system's reason: a limit of the file's size, not a folder or a permission.
  EXPECT_EQ(log.CountDiagnostics("CurrentSize=59904 (cannot write " + path + ": File too large)"),
            2);
  EXPECT_EQ(log.CountEvents("ch1 録音ファイル書込失敗"), 1);
  EXPECT_EQ(GetFileSizeByName(path), 44 + 59904);  // nothing torn, sizes still right
  EXPECT_EQ(ReadWavInfo(path).DataSize, 59904);

  FeedRamp(archive, s, 13);
  EXPECT_EQ(log.CountEvents("ch1 録音ファイル書込再開"), 1);
  archive.StopArchive();
  const std::vector<int16_t> kept = test::ReadPcmWav(path);
  // The first 13 blocks, silence as long as the two lost buffers, then
  // what followed them: every frame at its place in time.
  std::vector<int16_t> expected = test::Ramp(0, 13 * 2304, 1);
  expected.resize(expected.size() + 26 * 2304, 0);
  const std::vector<int16_t> later = test::Ramp(39 * 2304, 14 * 2304, 1);
  expected.insert(expected.end(), later.begin(), later.end());
  EXPECT_EQ(kept, expected);
  EXPECT_EQ(archive.DiskLostFrames(), 26u * 2304);
  EXPECT_EQ(ReadWavInfo(path).DataSize, static_cast<int64_t>(kept.size() * 2));
}

// An MP3 file keeps its length in time too: what the full disk dropped
// comes back as silent frames (each frame's header, nothing after it),
// and the file decodes from end to end.
TEST_F(FullDiskTest, AnMp3FileKeepsItsLengthInTimeAcrossAFullDisk) {
  const ArchiveStart s = Mp3(48000, 1, 64);
  archive.StartArchive(s);
  const std::string path = record.CurrentPath;
  FeedSine(archive, s, 40);  // a buffer of 90112 bytes is written about every 29 blocks
  const int64_t before = GetFileSizeByName(path);
  ASSERT_GT(before, 0);
  LimitFiles(static_cast<rlim_t>(before) + 1000);
  FeedSine(archive, s, 40);
  Unlimit();
  EXPECT_GT(archive.DiskLostFrames(), 20u * 13824);
  FeedSine(archive, s, 40);
  archive.StopArchive();
  test::Decoded d;
  ASSERT_TRUE(test::DecodeWithMpg123(path, dir.Path(), d));
  EXPECT_GE(d.frames, 120 * 13824 + 576 - 1152);
  EXPECT_LT(d.frames, 120 * 13824 + 576 + 2 * 1152);
  // The middle holds the silence: a long run of nothing.
  size_t run = 0, longest = 0;
  for (const int16_t v : d.samples) {
    run = std::abs(v) < 2 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_GT(longest, 20u * 13824);
}

TEST_F(FullDiskTest, AnHourThatBeginsOnAFullDiskStillGetsAValidFile) {
  const ArchiveStart s = Wav(8000, 1, 2304);
  clock.Set(DateTime{2026, 12, 6, 11, 59, 59, 0});
  archive.StartArchive(s);
  FeedRamp(archive, s, 2);
  // The new file's header cannot be written: nothing may grow at all.
  LimitFiles(0);
  clock.Set(DateTime{2026, 12, 6, 12, 0, 0, 500});
  ChannelArchive* all[] = {&archive};
  HourlyRollover hourly;
  ASSERT_TRUE(hourly.Tick(clock, all));
  Unlimit();
  const std::string newFile = record.CurrentPath;
  EXPECT_EQ(GetFileSizeByName(newFile), 0);
  FeedRamp(archive, s, 3);
  archive.StopArchive();
  const WavInfo w = ReadWavInfo(newFile);
  ASSERT_EQ(w.Valid, 1);
  EXPECT_EQ(w.SampleRate, 8000);
  EXPECT_EQ(test::ReadPcmWav(newFile), test::Ramp(2 * 2304, 3 * 2304, 1));
}

}  // namespace
}  // namespace varn

namespace varn {
namespace {

// The count the metrics serve: every byte the channel's files hold, across
// new hours, a disk that refused writes and a second run.
TEST_F(FullDiskTest, BytesWrittenIsWhatTheFilesHold) {
  const ArchiveStart s = Wav(8000, 1, 2304);
  clock.Set(DateTime{2026, 12, 6, 11, 59, 59, 0});
  archive.StartArchive(s);
  FeedRamp(archive, s, 14);  // one write of 13 blocks
  EXPECT_EQ(archive.BytesWritten(), 44u + 13 * 4608);
  LimitFiles(0);  // the old file's last block and the new file's header are refused
  clock.Set(DateTime{2026, 12, 6, 12, 0, 0, 500});
  ChannelArchive* all[] = {&archive};
  HourlyRollover hourly;
  ASSERT_TRUE(hourly.Tick(clock, all));
  FeedRamp(archive, s, 2);
  Unlimit();
  EXPECT_EQ(archive.BytesWritten(), 44u + 13 * 4608);
  FeedRamp(archive, s, 14);
  archive.StopArchive();

  clock.Set(DateTime{2026, 12, 6, 12, 10, 0, 0});
  const ArchiveStart mp3 = Mp3(48000, 1, 64);
  archive.StartArchive(mp3);
  FeedSine(archive, mp3, 5);
  archive.StopArchive();

  uint64_t onDisk = 0;
  for (const auto& e : std::filesystem::directory_iterator(Data() + "ch1")) onDisk += e.file_size();
  EXPECT_GT(onDisk, 44u + 13 * 4608 + 44 + 15 * 4608);
  EXPECT_EQ(archive.BytesWritten(), onDisk);
}

}  // namespace
}  // namespace varn
