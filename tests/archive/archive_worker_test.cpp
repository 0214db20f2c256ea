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
  worker.Start();
  ASSERT_EQ(lane.StartArchive(Wav8k()), 0);
  const std::string first = record.CurrentPath;
  EXPECT_EQ(ReadWavInfo(first).Valid, 1);  // named and headed at once
  FeedRamp(lane, 5);
  clock.AdvanceTo(10, 0, 0);
  const std::string second = archive.NextFilePath();
  lane.BeginNewFile(second);
  FeedRamp(lane, 3);
  lane.StopArchive();
  // Complete when the stop returns: every block, sizes in the header.
  ExpectRamp(first, 0, 5 * kS);
  ExpectRamp(second, 5 * kS, 3 * kS);
  EXPECT_TRUE(lane.Idle());
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
  // What was taken is in the file, in order; the lost blocks are a gap.
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
  // The channel's folder turns into a file: the worker cannot append.
  const std::string folder = dir / "data/ch1";
  std::filesystem::remove_all(folder);
  test::WriteText(folder, "in the way");
  lane.StopArchive();
  EXPECT_EQ(log.CountEvents("ch1 録音ファイル書込失敗"), 1);
  EXPECT_GE(log.CountDiagnostics("WriteDiskBuffer err2 pl=0"), 1);
}

TEST_F(ArchiveWorkerTest, ADiskThatHangsHoldsUpNeitherTheStopNorTheNextRun) {
  ArchiveWorker worker;
  worker.SetStopWait(0.3);
  ArchiveLane& lane = worker.AddLane(archive);
  worker.Start();
  ASSERT_EQ(lane.StartArchive(Mp3At48k()), 160);
  const std::string first = record.CurrentPath;
  FeedRamp(lane, 2, 13824);
  // The file becomes a pipe nobody reads: writing it blocks, as on a
  // network disk that stopped answering.
  std::filesystem::remove(first);
  ASSERT_EQ(mkfifo(first.c_str(), 0644), 0);
  lane.StopArchive();  // gives up waiting after 0.3 s
  EXPECT_FALSE(lane.Idle());
  EXPECT_EQ(log.CountDiagnostics("Archive still writing ch1: the disk does not answer"), 1);

  clock.Advance(5.0);
  lane.StartArchive(Mp3At48k());
  EXPECT_FALSE(lane.Archiving());
  EXPECT_EQ(log.CountDiagnostics("Archive still writing ch1: the earlier run is still being"), 1);
  FeedRamp(lane, 2, 13824);  // taken by nobody, lost by nobody: this run has no archive
  EXPECT_EQ(lane.LostBlocks(), 0u);

  // The disk answers (the pipe is opened at the other end): the worker
  // finishes the earlier run, and the next start archives again.
  std::thread reader([&] {
    const int fd = open(first.c_str(), O_RDONLY);
    char chunk[4096];
    while (fd >= 0 && read(fd, chunk, sizeof chunk) > 0) {
    }
    if (fd >= 0) close(fd);
  });
  EXPECT_TRUE(test::WaitFor([&] { return lane.Idle(); }, 10));
  reader.join();
  lane.StopArchive();
  clock.Advance(5.0);
  lane.StartArchive(Mp3At48k());
  EXPECT_TRUE(lane.Archiving());
  lane.StopArchive();
}

}  // namespace
}  // namespace varn
