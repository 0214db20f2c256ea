#pragma once
// The archive worker: one thread that encodes and writes the archive blocks
// of every channel, so neither an MP3 encoding nor a slow disk ever holds up
// the update tick.
//
// The program's thread keeps every decision: when a run starts (it names
// the first file and writes its header itself), when a new file begins at
// the top of the hour, when a run stops, and what the event log says. Each
// channel has a lane: a bounded ring of jobs (blocks, new files, stops) and
// the block copies they point to, handed to the worker without locks. The
// worker hands back what the archive would have logged through a second
// ring; the program writes it. A block that finds the lane full (the disk
// hangs) is counted as lost and noted in the diagnostics file; the tick
// never waits for the worker. Stopping a run waits until its last block is
// written and its file is closed, so "録音停止" follows a complete file.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "analysis/live_loudness.h"
#include "archive/channel_archive.h"
#include "archive/channel_recorder.h"
#include "util/spsc_ring.h"

namespace varn {

// Seconds of audio a lane holds for a disk that falls behind.
inline constexpr double kArchiveLaneSeconds = 6.0;
// How long a stop waits for the worker to write a run out.
inline constexpr double kArchiveStopWaitSec = 10.0;
// Diagnostics texts; the 1-based channel number follows.
inline constexpr std::string_view kArchiveLaneFullText = "Archive queue full ch";
inline constexpr std::string_view kArchiveStopLateText = "Archive still writing ch";

class ArchiveWorker;

// A line the worker's archive code would have logged, for the program's thread.
struct ArchiveNote {
  bool event = false;  // an event line, else a plain line (or a finished file)
  bool toDiagnostics = false;
  int32_t channel = -1;
  int32_t side = -1;
  std::string text;
  bool fileFinished = false;  // text is a file that is complete now
};

class ArchiveLane final : public ChannelRecorder {
 public:
  ArchiveLane(ArchiveWorker& worker, ChannelArchive& archive);

  // ---- the program's thread (capture drives the first three)
  // Starts the run at once (names the file, writes its header, opens the
  // encoder) when the worker holds nothing of this channel; otherwise the
  // run goes without an archive, and the diagnostics file says why.
  int32_t StartArchive(const ArchiveStart& start) override;
  // Copies the block into the lane and queues it; a full lane loses it.
  void FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) override;
  // Queues the stop and waits (at most kArchiveStopWaitSec) until the
  // worker has written the run out and closed its file.
  void StopArchive() override;
  // The top of the hour: blocks queued so far go to the old file, later
  // ones to `path`; the hour's loudness line is written.
  void BeginNewFile(std::string path);
  // The top of the hour of a run that does not archive: the hour's
  // loudness line, and the measurement starts afresh.
  void EndHour();
  // Whether the hour's loudness line goes to the event log (LoudnessLog).
  void SetLoudnessLog(bool on) { loudnessLog_ = on; }
  // True while a started run archives.
  bool Archiving() const { return archiving_; }
  // True while a started run's loudness is measured.
  bool Measuring() const { return measuring_; }
  // Nothing of this channel is queued or being worked on.
  bool Idle() const;
  // Blocks and frames lost to a full lane since the lane was made.
  uint64_t LostBlocks() const { return lostBlocks_; }
  uint64_t LostFrames() const { return lostFrames_; }
  // Queues stop or new-file jobs that found the ring full earlier.
  void Flush();
  // The run's loudness, measured on the worker's thread; readable anywhere.
  const LiveLoudness& Loudness() const { return loudness_; }

  // ---- the worker's thread
  // Does the oldest queued job; false when there is none.
  bool RunOne();

 private:
  enum class JobKind : uint8_t { Block, NewFile, HourEnd, Stop };
  struct Job {
    JobKind kind = JobKind::Block;
    int32_t slot = 0;
    int32_t bufferIndex = 0;
    int32_t byteCount = 0;
    std::string path;
    bool archive = true;       // the block or stop is the archive's too
    bool logLoudness = false;  // the hour's loudness line is written
  };
  bool Push(Job job);
  void NoteLossEnded();
  void SizeSlots(const ArchiveStart& start);
  void WaitUntilIdle();
  // The worker's side: the hour's loudness, and its line when asked for.
  void EndLoudnessHour(const Job& job, bool runEnds);

  ArchiveWorker& worker_;
  ChannelArchive& archive_;
  // The program's side.
  bool archiving_ = false;
  bool measuring_ = false;
  bool loudnessLog_ = true;
  int32_t frameBytes_ = 1;
  std::vector<uint8_t> slots_;  // slotCount_ blocks of slotBytes_
  int32_t slotBytes_ = 0;
  uint64_t slotCount_ = 0;
  uint64_t slotsQueued_ = 0;
  uint64_t jobsQueued_ = 0;
  std::deque<Job> waitingControl_;  // stops and new files the ring could not take yet
  uint64_t lostBlocks_ = 0;
  uint64_t lostFrames_ = 0;
  uint64_t lossRunBlocks_ = 0;  // blocks lost since the lane last took one
  uint64_t lossRunFrames_ = 0;
  // Shared.
  LiveLoudness loudness_;  // fed by the worker, started while the lane is idle
  SpscRing<Job> jobs_;
  std::atomic<uint64_t> slotsDone_{0};
  std::atomic<uint64_t> jobsDone_{0};
};

class ArchiveWorker {
 public:
  ArchiveWorker();
  // Writes out whatever is still queued, then ends the thread.
  ~ArchiveWorker();
  ArchiveWorker(const ArchiveWorker&) = delete;
  ArchiveWorker& operator=(const ArchiveWorker&) = delete;

  // A lane for `archive`, kept for the worker's life. Only before Start.
  ArchiveLane& AddLane(ChannelArchive& archive);
  // Starts the thread. Without it (tests) the program's thread does the
  // work itself when it waits for a stop.
  void Start();

  // The program's thread: writes every line the worker handed back, through
  // the log of the program's thread, and tells `onFileFinished` of every file
  // that is complete. Returns how many notes.
  size_t WriteNotes();
  std::function<void(int32_t ch, const std::string& path)> onFileFinished;

  // How long a stop waits for its run to be written out (a disk that
  // hangs must not hang the program for ever).
  void SetStopWait(double seconds) { stopWaitSec_ = seconds; }
  double StopWait() const { return stopWaitSec_; }

  // Wakes the thread for new work.
  void Wake();
  // Without a thread: does every queued job now.
  void RunQueued();
  bool Threaded() const { return thread_.joinable(); }

  // The worker's thread: a line for the program.
  void Note(ArchiveNote note);

 private:
  void Run();
  bool RunRound();

  std::vector<std::unique_ptr<ArchiveLane>> lanes_;
  SpscRing<ArchiveNote> notes_;
  std::atomic<uint64_t> droppedNotes_{0};
  std::atomic<uint32_t> work_{0};
  std::atomic<bool> quit_{false};
  double stopWaitSec_ = kArchiveStopWaitSec;
  std::thread thread_;
};

}  // namespace varn
