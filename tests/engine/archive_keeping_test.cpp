// Retention and the free-space guard over real archive folders: what they
// delete and keep, what they log, and the sums that go before the hook.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <numeric>
#include <thread>

#include "archive/archive_holds.h"
#include "archive/archive_time.h"
#include "archive/file_checksum.h"
#include "engine/archive_keeping.h"
#include "engine/archive_listing.h"
#include "engine/engine_fixture.h"
#include "log/event_kinds.h"
#include "ops/archive_metrics.h"
#include "settings/settings_store.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace varn::test {
namespace {

namespace fs = std::filesystem;

// A 16-bit mono 8 kHz WAV file of `frames` frames (the catalogue reads its length).
void MakeWav(const std::string& path, uint32_t frames) {
  fs::create_directories(fs::path(path).parent_path());
  const uint32_t data = frames * 2;
  std::vector<uint8_t> b;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
  tag("RIFF"), put(36 + data, 4), tag("WAVE"), tag("fmt "), put(16, 4), put(1, 2), put(1, 2);
  put(8000, 4), put(16000, 4), put(2, 2), put(16, 2), tag("data"), put(data, 4);
  b.resize(b.size() + data, 0);
  WriteBytes(path, b);
}

// The clock's local time is the system's, as the file names are read.
ManualClock LocalClock(DateTime local) {
  const int64_t guess = EpochMsFromDateTime(local);
  return ManualClock(local, LocalUtcOffset(guess - LocalUtcOffset(guess) * 1000LL));
}

uint64_t FolderBytes(const std::string& folder) {
  uint64_t used = 0;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(folder, ec))
    if (e.is_regular_file()) used += e.file_size();
  return used;
}

class ArchiveKeepingTest : public ::testing::Test {
 protected:
  ArchiveKeepingTest() {
    ArchiveKeeping::Options o;
    o.dataFolder = data;
    o.clock = &clock;
    o.log = ActiveLog();
    o.list = ListArchiveFiles;
    // The fake file system: `budget` bytes less what the data folder holds.
    o.readSpace = [this](const std::string&) {
      const uint64_t used = FolderBytes(data);
      return DiskSpace{true, budget > used ? budget - used : 0, 100 * kMegabyte, ""};
    };
    o.thread = false;
    keeping = std::make_unique<ArchiveKeeping>(std::move(o));
  }
  std::string File(int ch, const std::string& name) const {
    return data + "ch" + std::to_string(ch) + "/" + name;
  }
  void Sweep(unsigned kinds, const std::vector<std::string>& queued = {}) {
    keeping->Request(kinds, queued);
    keeping->Report([this](int, const std::string& path) { hooked.push_back(path); });
  }

  TempDir dir;
  std::string data = dir / "data/";
  ManualClock clock = LocalClock(DateTime{2026, 3, 14, 10, 30, 0, 0});
  LogCapture log{clock, dir / "log/"};
  uint64_t budget = 100 * kMegabyte;
  std::unique_ptr<ArchiveKeeping> keeping;
  std::vector<std::string> hooked;
};

TEST_F(ArchiveKeepingTest, RetentionDeletesOnlyTheProgramsExpiredFilesThatNothingKeeps) {
  const uint32_t second = 8000;
  // Channel 1 keeps 2 days (the global value): the cut is 2026-03-12 10:30.
  const std::vector<std::string> gone = {
      File(1, "20260310090000.wav"), File(1, "20260310090000_1.wav"),
      File(1, "20260312100000.wav"),  // ends 10:00:01, before the cut
      File(3, "20260308000000.wav"),  // channel 3 keeps 5 days
  };
  const std::vector<std::string> kept = {
      File(1, "20260312103000.wav"),  // ends after the cut
      File(1, "20260311000000.wav"),  // held
      File(1, "20260311010000.wav"),  // queued for ArchiveCommand
      File(1, "20260309000000.wav"),  // still being written
      File(2, "20260301000000.wav"),  // channel 2 keeps everything
      File(3, "20260310000000.wav"),
      // Names the program does not make, and places it does not write.
      File(1, "20260301000000.wav.bak"),
      File(1, "20260301000000.txt"),
      File(1, "old/20260301000000.wav"),
      data + "chX/20260301000000.wav",
      data + "20260301000000.wav",
  };
  for (const auto& p : gone) MakeWav(p, second);
  for (const auto& p : kept) MakeWav(p, second);
  WriteText(File(1, "20260310090000.wav.sha256"), "x");  // goes with its file

  const int64_t held = ReadArchiveTime("2026-03-11 00:00:00").epochMs / 1000;
  ASSERT_EQ(WriteHoldsFile(HoldsFilePath(data), {{1, 0, held, held + 10, 0, "evidence"}}), "");
  KeepingSettings s;
  s.keepDays = {2, 0, 5, 2, 2, 2, 2, 2};
  keeping->Configure(s);
  keeping->FileBegun(0, File(1, "20260309000000.wav"));
  Sweep(kSweepRetention, {File(1, "20260311010000.wav")});

  for (const auto& p : gone) EXPECT_FALSE(PathExists(p)) << p;
  for (const auto& p : kept) EXPECT_TRUE(PathExists(p)) << p;
  EXPECT_FALSE(PathExists(File(1, "20260310090000.wav.sha256")));
  EXPECT_EQ(log.CountEvents("アーカイブ削除 4件 0.0 GB"), 1);
  EXPECT_EQ(log.CountDiagnostics("Archive file deleted (retention): "), 4);
  EXPECT_EQ(keeping->Deleted(0, SweepReason::Retention), 3u);
  EXPECT_EQ(keeping->Deleted(2, SweepReason::Retention), 1u);
  EXPECT_EQ(keeping->Figures().channels[0].files, 4u);

  // A broken holds file: nothing at all is deleted, and it is said once.
  MakeWav(File(1, "20260305000000.wav"), second);
  WriteText(HoldsFilePath(data), "broken\n");
  Sweep(kSweepRetention);
  Sweep(kSweepRetention);
  EXPECT_TRUE(PathExists(File(1, "20260305000000.wav")));
  EXPECT_EQ(log.CountDiagnostics("Archive holds file unusable"), 1);
  EXPECT_EQ(log.CountEvents("アーカイブ削除"), 1);
}

TEST_F(ArchiveKeepingTest, AGreatSweepIsWrittenOverSeveralTicks) {
  const int files = static_cast<int>(kLinesPerTick) + 36;
  for (int i = 0; i < files; ++i)
    MakeWav(File(1, "202602" + std::to_string(10 + i / 24) + (i % 24 < 10 ? "0" : "") +
                        std::to_string(i % 24) + "0000.wav"),
            8);
  KeepingSettings s;
  s.keepDays.fill(1);
  keeping->Configure(s);
  keeping->Request(kSweepRetention, {});
  keeping->Report({});
  // A tick's share of the lines, the counts at once, the event line last.
  EXPECT_EQ(log.CountDiagnostics("Archive file deleted (retention)"),
            static_cast<int>(kLinesPerTick));
  EXPECT_EQ(keeping->Deleted(0, SweepReason::Retention), static_cast<uint64_t>(files));
  EXPECT_EQ(log.CountEvents("アーカイブ削除"), 0);
  keeping->Report({});
  EXPECT_EQ(log.CountDiagnostics("Archive file deleted (retention)"), files);
  EXPECT_EQ(log.CountEvents("アーカイブ削除 " + std::to_string(files) + "件"), 1);
}

TEST_F(ArchiveKeepingTest, TheSpaceGuardDeletesOldestFirstQueuedLastAndSaysDiskLowOnce) {
  const std::string a = File(1, "20260314080000.wav"), b = File(2, "20260314083000.wav"),
                    q = File(1, "20260314090000.wav"), c = File(2, "20260314093000.wav"),
                    now = File(1, "20260314100000.wav"), h = File(2, "20260314070000.wav");
  for (const auto& p : {a, b, q, c, now, h}) MakeWav(p, 8000);
  const uint64_t size = fs::file_size(a);
  const int64_t held = ReadArchiveTime("2026-03-14 07:00:00").epochMs / 1000;
  ASSERT_EQ(WriteHoldsFile(HoldsFilePath(data), {{1, 1, held, held + 1, 0, "x"}}), "");
  const uint64_t min = kMegabyte;
  KeepingSettings s;
  s.minFreeMB = 1;
  keeping->Configure(s);
  auto holdsBytes = [&] { return fs::file_size(HoldsFilePath(data)); };

  // Two files short: the two oldest that nothing keeps.
  budget = min + 4 * size + holdsBytes();
  Sweep(kSweepSpace, {q});
  EXPECT_FALSE(PathExists(a));
  EXPECT_FALSE(PathExists(b));
  EXPECT_TRUE(PathExists(q) && PathExists(c) && PathExists(now) && PathExists(h));
  EXPECT_EQ(log.CountEvents("アーカイブ削除 2件"), 1);
  EXPECT_FALSE(keeping->DiskLow());

  // Two more: the newer unqueued file goes before the older queued one,
  // which goes only because nothing else is left, with its own line.
  budget = min + 2 * size + holdsBytes();
  Sweep(kSweepSpace, {q});
  EXPECT_FALSE(PathExists(c));
  EXPECT_FALSE(PathExists(q));
  EXPECT_EQ(log.CountDiagnostics("deleted for space while still queued for ArchiveCommand: " + q),
            1);
  EXPECT_EQ(keeping->Deleted(0, SweepReason::Space), 2u);
  EXPECT_FALSE(keeping->DiskLow());

  // Short with nothing left (the current hour's file and the held one):
  // ディスク容量不足 once, and again only after the space came back.
  budget = min + 1 * size + holdsBytes();
  Sweep(kSweepSpace);
  Sweep(kSweepSpace);
  EXPECT_TRUE(PathExists(now) && PathExists(h));
  EXPECT_TRUE(keeping->DiskLow());
  EXPECT_EQ(log.CountEvents("ディスク容量不足"), 1);
  budget = min + 10 * size;
  Sweep(kSweepSpace);
  EXPECT_FALSE(keeping->DiskLow());
  budget = min + 1 * size + holdsBytes();
  Sweep(kSweepSpace);
  EXPECT_EQ(log.CountEvents("ディスク容量不足"), 2);
  // A hand-edited value above half the file system (100 MB here) is used
  // as half, and said once.
  s.minFreeMB = 80;
  keeping->Configure(s);
  Sweep(kSweepSpace);
  Sweep(kSweepSpace);
  EXPECT_EQ(log.CountDiagnostics("ArchiveMinFreeMB 80 is more than half"), 1);
  EXPECT_EQ(log.CountDiagnostics("50 MB is kept free instead"), 1);
  EXPECT_EQ(EventKind("ディスク容量不足"), "disk_low");
  EXPECT_EQ(EventKind("アーカイブ削除 2件 0.0 GB"), "archive_deleted");
}

TEST_F(ArchiveKeepingTest, WithChecksumsAClosedFileReachesTheHookOnlyWithItsSum) {
  const std::string f = File(1, "20260314090000.wav");
  MakeWav(f, 8000);
  KeepingSettings s;
  s.checksum = true;
  keeping->Configure(s);
  keeping->FileBegun(0, f);
  EXPECT_FALSE(keeping->FileFinished(0, f));  // waits for its sum
  keeping->Report([&](int ch, const std::string& path) {
    EXPECT_EQ(ch, 0);
    EXPECT_EQ(VerifyChecksumFile(path).state, ChecksumState::Agrees);
    hooked.push_back(path);
  });
  EXPECT_EQ(hooked, std::vector<std::string>{f});
  s.checksum = false;
  keeping->Configure(s);
  EXPECT_TRUE(keeping->FileFinished(0, f));  // straight to the hook
}

// A file that will not go (here a folder under an archive file's name, as
// the listing seam gives it) is named with the reason once a day.
TEST(ArchiveKeepingFailure, AFileThatCannotBeDeletedIsNamedOnceADay) {
  TempDir dir;
  const std::string data = dir / "data/";
  const std::string stuck = data + "ch1/20260301000000.wav";
  fs::create_directories(stuck);
  WriteText(stuck + "/inside", "x");
  ManualClock clock = LocalClock(DateTime{2026, 3, 14, 10, 30, 0, 0});
  LogCapture log{clock, dir / "log/"};
  ArchiveKeeping::Options o;
  o.dataFolder = data;
  o.clock = &clock;
  o.log = ActiveLog();
  o.list = [&](const std::string&) {
    const double start = static_cast<double>(ReadArchiveTime("2026-03-01 00:00").epochMs) / 1000;
    return std::vector<SweepFile>{{stuck, 0, start, start + 3600, 100}};
  };
  o.thread = false;
  ArchiveKeeping keeping(std::move(o));
  KeepingSettings s;
  s.keepDays.fill(2);
  keeping.Configure(s);
  // Each day's diagnostics file names it once, however often it is tried.
  for (int day = 0; day < 2; ++day) {
    for (int i = 0; i < 3; ++i) {
      keeping.Request(kSweepRetention, {});
      keeping.Report({});
    }
    EXPECT_EQ(log.CountDiagnostics("Archive file cannot be deleted (retention): " + stuck + ": "),
              1);
    clock.Advance(kSecondsPerDay);
  }
  EXPECT_EQ(log.CountEvents("アーカイブ削除"), 0);
}

// On its own thread, as the monitor runs it: the first reading only takes
// the time, a new minute checks the space, a new hour sweeps for retention.
TEST(ArchiveSweeperThread, TheTopOfTheHourSweepsOnTheSweepersThread) {
  TempDir dir;
  const std::string data = dir / "data/";
  ManualClock clock = LocalClock(DateTime{2026, 3, 14, 10, 59, 59, 0});
  LogCapture log{clock, dir / "log/"};
  MakeWav(data + "ch1/20260301000000.wav", 800);
  ArchiveKeeping::Options o;
  o.dataFolder = data;
  o.clock = &clock;
  o.log = ActiveLog();
  o.list = ListArchiveFiles;
  o.thread = true;
  ArchiveKeeping keeping(std::move(o));
  KeepingSettings s;
  s.keepDays.fill(1);
  keeping.Configure(s);
  auto settle = [&] {
    for (int i = 0; i < 2000 && !keeping.Idle(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    keeping.Report({});
  };
  keeping.EverySecond(clock.Now(), {});
  settle();
  EXPECT_TRUE(PathExists(data + "ch1/20260301000000.wav"));
  clock.Advance(1.0);
  keeping.EverySecond(clock.Now(), {});
  settle();
  EXPECT_FALSE(PathExists(data + "ch1/20260301000000.wav"));
  EXPECT_EQ(log.CountEvents("アーカイブ削除 1件"), 1);
  EXPECT_TRUE(keeping.Figures().known);
}

// A listing that never returns (a disk that does not answer) does not hold
// up the end of the program: the sweeper is left to the end of the process.
TEST(ArchiveSweeperThread, AStuckSweepDoesNotHoldUpTheEnd) {
  TempDir dir;
  ManualClock clock = LocalClock(DateTime{2026, 3, 14, 10, 0, 0, 0});
  LogCapture log{clock, dir / "log/"};
  // Shared with the listing, which may outlive this test's frame.
  auto entered = std::make_shared<std::atomic<bool>>(false);
  auto release = std::make_shared<std::atomic<bool>>(false);
  ArchiveKeeping::Options o;
  o.dataFolder = dir / "data/";
  o.clock = &clock;
  o.log = ActiveLog();
  o.list = [entered, release](const std::string&) {
    entered->store(true);
    while (!release->load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return std::vector<SweepFile>{};
  };
  o.thread = true;
  auto keeping = std::make_unique<ArchiveKeeping>(std::move(o));
  KeepingSettings s;
  s.keepDays.fill(1);
  keeping->Configure(s);
  keeping->Request(kSweepRetention, {});
  while (!entered->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  keeping.reset();  // returns although the listing still hangs
  EXPECT_FALSE(release->load());
  release->store(true);
}

// The keys as the program reads them: a channel's own days or the global ones.
TEST_F(EngineFixture, KeepingSettingsAndTheStartUpSweepOfARunningMonitor) {
  MakeWav(dir / "data/ch1/20260301000000.wav", 8000);
  MakeWav(dir / "data/ch2/20260301000000.wav", 8000);
  Build(
      "NumRec=2\nDeviceName_1=Sim Tone 1kHz\nDeviceName_2=Sim Tone 1kHz\nRecFreq_1=8000\n"
      "RecFreq_2=8000\nBitRate_1=0\nBitRate_2=0\nArchiveKeepDays=3\nArchiveKeepDays_2=0\n"
      "ArchiveKeepDays_3=-1\nArchiveKeepDays_4=7\nArchiveChecksum=1\n");
  const KeepingSettings s = ReadKeepingSettings();
  EXPECT_EQ(s.keepDays[0], 3);
  EXPECT_EQ(s.keepDays[1], 0);
  EXPECT_EQ(s.keepDays[2], 3);
  EXPECT_EQ(s.keepDays[3], 7);
  EXPECT_TRUE(s.checksum);

  engine->BeginRunning(true);
  Run(0.5, {kToneDevice}, 8000);
  EXPECT_FALSE(PathExists(dir / "data/ch1/20260301000000.wav"));
  EXPECT_TRUE(PathExists(dir / "data/ch2/20260301000000.wav"));
  EXPECT_EQ(CountEvents("アーカイブ削除 1件"), 1);
  MetricSet m;
  AddArchiveMetrics(m, *engine);
  auto value = [&](const std::string& family, const std::vector<MetricLabel>& labels) {
    for (const MetricFamily& f : m.families)
      for (const MetricSample& s : f.samples)
        if (f.name == family && std::equal(labels.begin(), labels.end(), s.labels.begin(),
                                           s.labels.end(), [](const auto& a, const auto& b) {
                                             return a.name == b.name && a.value == b.value;
                                           }))
          return s.value;
    return -1.0;
  };
  EXPECT_EQ(value("varn_archive_files", {{"channel", "2"}}), 1.0);
  EXPECT_GT(value("varn_archive_oldest_timestamp_seconds", {{"channel", "2"}}), 1.7e9);
  EXPECT_EQ(value("varn_archive_deleted_files_total", {{"channel", "1"}, {"reason", "retention"}}),
            1.0);
  EXPECT_EQ(value("varn_archive_deleted_files_total", {{"channel", "1"}, {"reason", "space"}}),
            0.0);
  EXPECT_GT(value("varn_disk_free_bytes", {}), 0.0);
  EXPECT_EQ(value("varn_disk_low", {}), 0.0);

  // Across the top of the hour the closed file gets its sum; the open one not yet.
  const std::string first = engine->Channel(0).archive.CurrentPath;
  clock.AdvanceTo(11, 0, 0);
  Run(0.5, {kToneDevice}, 8000);
  ASSERT_NE(engine->Channel(0).archive.CurrentPath, first);
  EXPECT_EQ(VerifyChecksumFile(first).state, ChecksumState::Agrees);
  EXPECT_EQ(VerifyChecksumFile(engine->Channel(0).archive.CurrentPath).state, ChecksumState::NoSum);
}

}  // namespace
}  // namespace varn::test
