// The archive worker: blocks written in order on its own thread, a new file
// at the hour taking exactly the blocks queued after it, a stop that returns
// only once the file is complete, a full lane that loses blocks instead of
// waiting, and the archive's lines written by the program's thread.

#include "archive/archive_worker.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "archive/wav_file.h"
#include "archive_test_support.h"
#include "support/wait_for.h"

namespace varn {
namespace {

constexpr int kS = 2304;  // 8000 Hz WAV buffers

ArchiveStart Wav8k() {
  ArchiveStart s;
  s.rate = 8000;
  s.channels = 2;
  s.blockAlign = 4;
  s.samplesPerBuffer = kS;
  s.archiveOn = true;
  return s;
}

ArchiveStart Mp3At48k() {
  ArchiveStart s = Wav8k();
  s.rate = 48000;
  s.samplesPerBuffer = 13824;
  s.bitRate = 160;
  return s;
}

class ArchiveWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override { record.Capturing = 1; }
  void FeedRamp(ArchiveLane& lane, int blocks, int frames = kS) {
    for (int i = 0; i < blocks; ++i) {
      const std::vector<int16_t> pcm = test::Ramp(rampAt, frames, 2);
      rampAt += frames;
      lane.FeedBlock(i % 10, reinterpret_cast<const uint8_t*>(pcm.data()), frames * 4);
    }
  }
  // The left samples of a WAV file count on from `first`, frame by frame.
  static void ExpectRamp(const std::string& path, int64_t first, int64_t frames) {
    const std::vector<int16_t> pcm = test::ReadPcmWav(path);
    ASSERT_EQ(static_cast<int64_t>(pcm.size()), 2 * frames) << path;
    for (int64_t f = 0; f < frames; ++f)
      ASSERT_EQ(pcm[static_cast<size_t>(2 * f)], static_cast<int16_t>(first + f)) << f;
  }

  test::TempDir dir;
  ManualClock clock{DateTime{2026, 12, 6, 9, 59, 58, 0}, 9 * 3600};
  test::LogCapture log{clock, dir / "data"};
  ArchiveChannel record;
  ChannelArchive archive{0, record, clock, dir / "data"};
  int64_t rampAt = 0;
};

TEST_F(ArchiveWorkerTest, ItsThreadWritesTheBlocksInOrderAndANewFileTakesWhatCameAfterIt) {
  ArchiveWorker worker;
  ArchiveLane& lane = worker.AddLane(archive);
  std::vector<std::string> begun;
  worker.onFileBegun = [&](int32_t, const std::string& path) { begun.push_back(path); };
  worker.Start();
  ASSERT_EQ(lane.StartArchive(Wav8k()), 0);
  FeedRamp(lane, 5);
  clock.AdvanceTo(10, 0, 0);
  lane.BeginNewFile();
  FeedRamp(lane, 3);
  lane.StopArchive();  // returns at once: nothing here waits for the disk
  ASSERT_TRUE(lane.WaitIdle(10));
  worker.WriteNotes();
  // Each file is named by the time its run or hour began, not by when the
  // worker got to it.
  ASSERT_EQ(begun.size(), 2u);
  EXPECT_EQ(std::filesystem::path(begun[0]).filename(), "20261206095958.wav");
  EXPECT_EQ(std::filesystem::path(begun[1]).filename(), "20261206100000.wav");
  ExpectRamp(begun[0], 0, 5 * kS);
  ExpectRamp(begun[1], 5 * kS, 3 * kS);
  EXPECT_EQ(lane.LostBlocks(), 0u);
}

TEST_F(ArchiveWorkerTest, AFullLaneLosesBlocksInsteadOfWaitingAndSaysSo) {
  ArchiveWorker worker;  // no thread: nothing is written until asked
  ArchiveLane& lane = worker.AddLane(archive);
  lane.StartArchive(Wav8k());
  // 8000 Hz buffers of 2304 frames: six seconds hold 21 + 2 blocks.
  FeedRamp(lane, 23);
  EXPECT_EQ(lane.LostBlocks(), 0u);
  FeedRamp(lane, 3);
  EXPECT_EQ(lane.LostBlocks(), 3u);
  EXPECT_EQ(lane.LostFrames(), 3u * kS);
  EXPECT_EQ(log.CountDiagnostics("Archive queue full ch1: the disk does not keep up"), 1);
  worker.RunQueued();  // the disk answers again
  FeedRamp(lane, 1);
  EXPECT_EQ(log.CountDiagnostics("Archive queue full ch1: 3 blocks (6912 frames) lost"), 1);
  lane.StopArchive();
  // What was taken is in the file, in order; blocks without a time leave
  // the lost ones out.
  const std::vector<int16_t> pcm = test::ReadPcmWav(record.CurrentPath);
  ASSERT_EQ(pcm.size(), 2u * 24 * kS);
  EXPECT_EQ(pcm[2 * 23 * kS], static_cast<int16_t>(26 * kS));
}

TEST_F(ArchiveWorkerTest, TheArchivesLinesAreWrittenByTheProgramsThread) {
  ArchiveWorker worker;
  ArchiveLane& lane = worker.AddLane(archive);
  worker.Start();
  lane.StartArchive(Wav8k());
  FeedRamp(lane, 2);
  ASSERT_TRUE(lane.WaitIdle(10));
  // The channel's folder turns into a file: the worker cannot append.
  const std::string folder = dir / "data/ch1";
  std::filesystem::remove_all(folder);
  test::WriteText(folder, "in the way");
  lane.StopArchive();
  ASSERT_TRUE(lane.WaitIdle(10));
  EXPECT_EQ(log.CountEvents("ch1 録音ファイル書込失敗"), 0);  // nothing until the program writes it
  worker.WriteNotes();
  EXPECT_EQ(log.CountEvents("ch1 録音ファイル書込失敗"), 1);
  EXPECT_GE(log.CountDiagnostics("WriteDiskBuffer err2 pl=0"), 1);
}

// Blocks stamped with when their last frame was captured: a hole in the
// times is silence in the file, so every later frame keeps its place.
TEST_F(ArchiveWorkerTest, TimedBlocksKeepTheirPlaceAcrossAHole) {
  ArchiveWorker worker;
  ArchiveLane& lane = worker.AddLane(archive);
  lane.StartArchive(Wav8k());
  const double block = kS / 8000.0;
  double t = clock.Steady();  // the run began now
  const auto feed = [&](int blocks) {
    for (int i = 0; i < blocks; ++i) {
      t += block;
      const std::vector<int16_t> pcm = test::Ramp(rampAt, kS, 2);
      rampAt += kS;
      lane.FeedTimedBlock(0, reinterpret_cast<const uint8_t*>(pcm.data()), kS * 4, t);
    }
  };
  feed(4);
  t += 1.5;  // nothing arrived for a second and a half
  feed(2);
  t += 0.03;  // delivery jitter is no hole
  feed(2);
  lane.StopArchive();
  EXPECT_EQ(lane.SilenceFrames(), 12000u);
  const std::vector<int16_t> pcm = test::ReadPcmWav(record.CurrentPath);
  ASSERT_EQ(pcm.size(), 2u * (8 * kS + 12000));
  EXPECT_EQ(pcm[2 * (4 * kS - 1)], static_cast<int16_t>(4 * kS - 1));
  for (int f = 4 * kS; f < 4 * kS + 12000; ++f) ASSERT_EQ(pcm[2 * f], 0) << f;
  EXPECT_EQ(pcm[2 * (4 * kS + 12000)], static_cast<int16_t>(4 * kS));
}

// A stop that meets a hung disk holds up neither the program nor the next
// run: the next run's start and blocks queue behind it, kept while they fit
// the lane and counted as lost beyond that, and its file begins as soon as
// the disk answers.
TEST_F(ArchiveWorkerTest, ARunStartedBehindAHungStopKeepsWhatFitsAndCountsTheRest) {
  ArchiveWorker worker;
  ArchiveLane& lane = worker.AddLane(archive);
  std::vector<std::string> begun;
  worker.onFileBegun = [&](int32_t, const std::string& path) { begun.push_back(path); };
  worker.Start();
  ASSERT_EQ(lane.StartArchive(Mp3At48k()), 160);
  FeedRamp(lane, 2, 13824);
  ASSERT_TRUE(lane.WaitIdle(10));
  worker.WriteNotes();
  ASSERT_EQ(begun.size(), 1u);
  const std::string first = begun[0];
  // The file becomes a pipe nobody reads: writing it blocks, as on a
  // network disk that stopped answering.
  std::filesystem::remove(first);
  ASSERT_EQ(mkfifo(first.c_str(), 0644), 0);
  lane.StopArchive();
  EXPECT_FALSE(lane.WaitIdle(0.3));

  clock.Advance(5.0);
  EXPECT_EQ(lane.StartArchive(Mp3At48k()), 160);
  EXPECT_TRUE(lane.Archiving());
  // 48000 Hz blocks of 13824 frames: six seconds hold 21 + 2 of them.
  FeedRamp(lane, 25, 13824);
  EXPECT_EQ(lane.LostBlocks(), 2u);
  EXPECT_EQ(lane.LostFrames(), 2u * 13824);
  EXPECT_FALSE(worker.Finish(0.2));  // the end of a program would not wait longer
  EXPECT_EQ(worker.Backlog().size(), 1u);

  // The disk answers (the pipe is opened at the other end): the worker
  // finishes the earlier run and begins the next one's file.
  std::thread reader([&] {
    const int fd = open(first.c_str(), O_RDONLY);
    char chunk[4096];
    while (fd >= 0 && read(fd, chunk, sizeof chunk) > 0) {
    }
    if (fd >= 0) close(fd);
  });
  lane.StopArchive();
  EXPECT_TRUE(lane.WaitIdle(20));
  reader.join();
  worker.WriteNotes();
  ASSERT_EQ(begun.size(), 2u);
  EXPECT_EQ(std::filesystem::path(begun[1]).filename(), "20261206100003.mp3");
  test::Decoded decoded;
  ASSERT_TRUE(test::DecodeWithMpg123(begun[1], dir.Path(), decoded));
  EXPECT_NEAR(decoded.frames, 23 * 13824, 2 * 1152);
}

}  // namespace
}  // namespace varn
