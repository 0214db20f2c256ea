#pragma once
// The archive worker: one thread that names, encodes and writes the archive
// files of every channel, so neither an MP3 encoding nor a slow or hung
// disk ever holds up the update tick.
//
// The program's thread keeps every decision: when a run starts, when a new
// file begins (the top of the hour, a step of the wall clock), when a run
// stops, where silence fills a hole, and what the event log says. Each
// channel has a lane: a bounded ring of jobs (starts, blocks, new files,
// stops) and the block copies they point to, handed to the worker without
// locks. The worker does each lane's jobs in order and hands back what the
// archive would have logged through a second ring; the program writes it.
// The program never waits for the worker: a start queues behind the stop
// of a run still being written, and its file begins as soon as the worker
// gets to it; a block that finds the lane full (the disk hangs) is counted
// as lost, and the silence that stands in for it keeps the file on time.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/live_loudness.h"
#include "archive/archive_timeline.h"
#include "archive/channel_archive.h"
#include "archive/channel_recorder.h"
#include "util/clock.h"
#include "util/spsc_ring.h"
#include "util/thread_role.h"

namespace varn {

// Seconds of audio a lane holds for a disk that falls behind.
inline constexpr double kArchiveLaneSeconds = 6.0;
// Diagnostics texts; the 1-based channel number follows.
inline constexpr std::string_view kArchiveLaneFullText = "Archive queue full ch";
inline constexpr std::string_view kArchiveStopLateText = "Archive still writing ch";

class ArchiveWorker;

// A line the worker's archive code would have logged, for the program's thread.
struct ArchiveNote {
  enum class Kind : uint8_t { Event, Line, FileBegun, FileFinished };
  Kind kind = Kind::Line;
  bool toDiagnostics = false;
  int32_t channel = -1;
  int32_t side = -1;
  std::string text;  // the line, or the file's path
};

class ArchiveLane final : public ChannelRecorder {
 public:
  ArchiveLane(ArchiveWorker& worker, ChannelArchive& archive);
  // The channel, fixed when the archive was made: any thread.
  int32_t Channel() const { return archive_.Channel(); }

  // ---- the program's thread (capture drives the first four)
  // Queues the run's start: the worker names the file, writes its header
  // and opens the encoder when it gets there, after whatever of an earlier
  // run it still writes. Returns the bit rate the run archives with (0 for
  // WAV, also when MP3 cannot carry the run's rate).
  int32_t StartArchive(const ArchiveStart& start) override VARN_PROGRAM_THREAD;
  // Copies the block into the lane and queues it; a full lane loses it.
  void FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) override
      VARN_PROGRAM_THREAD;
  // The same for a block whose last frame was captured at `capturedEnd`
  // (steady seconds): a hole before it is filled with silence.
  void FeedTimedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount,
                      double capturedEnd) override VARN_PROGRAM_THREAD;
  // Nothing arrived from the device for a while after the next block's
  // first `frames`: a hole found before that block goes there, inside it.
  void SplitNextHoleAt(uint32_t frames) VARN_PROGRAM_THREAD { splitHint_ = frames; }
  // Queues the stop; the worker writes the run out and closes its files.
  void StopArchive() override VARN_PROGRAM_THREAD;
  // A new file begins now (the top of the hour, a step of the wall clock):
  // blocks queued so far go to the old file, later ones to the new one,
  // named by the time now. `inFlight` frames are captured and not yet
  // handed over; a stall up to now is filled with silence in the old file.
  // The hour's loudness line is written.
  void BeginNewFile(uint64_t inFlight = 0) VARN_PROGRAM_THREAD;
  // The top of the hour of a run that does not archive: the hour's
  // loudness line, and the measurement starts afresh.
  void EndHour() VARN_PROGRAM_THREAD;
  // Whether the hour's loudness line goes to the event log (LoudnessLog).
  void SetLoudnessLog(bool on) VARN_PROGRAM_THREAD { loudnessLog_ = on; }
  // True while a started run archives.
  bool Archiving() const VARN_PROGRAM_THREAD { return archiving_; }
  // True while a started run's loudness is measured.
  bool Measuring() const VARN_PROGRAM_THREAD { return measuring_; }
  // Nothing of this channel is queued or being worked on.
  bool Idle() const VARN_PROGRAM_THREAD;
  // Waits at most `seconds` until Idle (tests, and the end of the program).
  bool WaitIdle(double seconds) VARN_PROGRAM_THREAD;
  // Blocks and frames lost to a full lane since the lane was made, and
  // frames lost to failed writes.
  uint64_t LostBlocks() const VARN_PROGRAM_THREAD { return lostBlocks_; }
  uint64_t LostFrames() const VARN_PROGRAM_THREAD {
    return lostFrames_ + archive_.DiskLostFrames();
  }
  // Frames of silence the run's files got for holes.
  uint64_t SilenceFrames() const VARN_PROGRAM_THREAD { return timeline_.SilencePlaced(); }
  // What is still queued, as a line for the diagnostics file (the end of
  // the program, when the disk does not answer): empty when idle.
  std::string Backlog() const VARN_PROGRAM_THREAD;
  // The worker's note that it began `path` reached the program's thread.
  void NoteBegun(const std::string& path) VARN_PROGRAM_THREAD { notedPath_ = path; }
  // Queues jobs that found the ring full earlier.
  void Flush() VARN_PROGRAM_THREAD;
  // The run's loudness, measured on the worker's thread; readable anywhere.
  const LiveLoudness& Loudness() const { return loudness_; }
  // The integrated loudness of the last hour that ended (the figure of its
  // hourly loudness line); empty before the first top of the hour and after
  // an hour that had none (silence). Readable anywhere.
  std::optional<double> LastHourLufs() const;

  // ---- the worker's thread
  // Does the oldest queued job; false when there is none.
  bool RunOne() VARN_ARCHIVE_THREAD;

 private:
  enum class JobKind : uint8_t { Start, Block, NewFile, HourEnd, Stop };
  // The copies of one format's blocks; a run of another format gets new
  // ones while the worker may still read the old.
  struct SlotStore {
    std::vector<uint8_t> bytes;
    int32_t slotBytes = 0;
    uint64_t count = 0;
    uint64_t queued = 0;               // the program's count
    std::atomic<uint64_t> done{0};     // the worker's count
    uint64_t Free() const { return count - (queued - done.load(std::memory_order_acquire)); }
  };
  struct Job {
    JobKind kind = JobKind::Block;
    SlotStore* store = nullptr;
    int32_t slot = 0;
    int32_t bufferIndex = 0;
    int32_t byteCount = 0;
    uint64_t silenceFrames = 0;  // written before the block, or before the new file
    int32_t splitAt = 0;         // bytes of the block that go before the silence
    ArchiveStart start;          // Start
    ClockReading at;             // Start, NewFile: the file's time
    bool archive = true;         // the run archives (else only its loudness is measured)
    bool measure = false;        // Start: the loudness is measured
    bool logLoudness = false;    // the hour's loudness line is written
  };
  void Push(Job job) VARN_PROGRAM_THREAD;
  void NoteLossEnded() VARN_PROGRAM_THREAD;
  SlotStore& StoreFor(const ArchiveStart& start) VARN_PROGRAM_THREAD;
  void ReleaseRetired() VARN_PROGRAM_THREAD;
  // The worker's side: the hour's loudness, and its line when asked for.
  void EndLoudnessHour(const Job& job, bool runEnds) VARN_ARCHIVE_THREAD;
  void NoteFile(ArchiveNote::Kind kind, std::string path) VARN_ARCHIVE_THREAD;

  ArchiveWorker& worker_;
  ChannelArchive& archive_;  // the worker's
  // The program's end.
  bool archiving_ VARN_PROGRAM_OWNED = false;
  bool measuring_ VARN_PROGRAM_OWNED = false;
  bool loudnessLog_ VARN_PROGRAM_OWNED = true;
  int32_t frameBytes_ VARN_PROGRAM_OWNED = 1;
  uint32_t splitHint_ VARN_PROGRAM_OWNED = 0;
  bool timed_ VARN_PROGRAM_OWNED = false;  // the run's blocks come with their capture times
  ArchiveTimeline timeline_ VARN_PROGRAM_OWNED;
  std::shared_ptr<SlotStore> store_ VARN_PROGRAM_OWNED;
  // Stores of earlier runs and the job count after which the worker is done with them.
  std::vector<std::pair<std::shared_ptr<SlotStore>, uint64_t>> retired_ VARN_PROGRAM_OWNED;
  uint64_t jobsQueued_ VARN_PROGRAM_OWNED = 0;
  // The file the worker last said it began (its note, read on the program's
  // thread): what a backlog names, without reading the worker's own record.
  std::string notedPath_ VARN_PROGRAM_OWNED;
  std::deque<Job> waiting_ VARN_PROGRAM_OWNED;  // jobs the ring could not take yet, in order
  uint64_t lostBlocks_ VARN_PROGRAM_OWNED = 0;
  uint64_t lostFrames_ VARN_PROGRAM_OWNED = 0;
  uint64_t lossRunBlocks_ VARN_PROGRAM_OWNED = 0;  // blocks lost since the lane last took one
  uint64_t lossRunFrames_ VARN_PROGRAM_OWNED = 0;
  // Shared.
  LiveLoudness loudness_;  // started and fed by the worker, read anywhere
  static constexpr double kNoFigure = -1.0e300;
  std::atomic<double> lastHourLufs_{kNoFigure};  // set by the worker, read anywhere
  SpscRing<Job> jobs_;
  std::atomic<uint64_t> jobsDone_{0};
};

class ArchiveWorker {
 public:
  ArchiveWorker();
  // Writes out whatever is still queued, then ends the thread (see Finish).
  ~ArchiveWorker();
  ArchiveWorker(const ArchiveWorker&) = delete;
  ArchiveWorker& operator=(const ArchiveWorker&) = delete;

  // A lane for `archive`, kept for the worker's life. Only before Start.
  ArchiveLane& AddLane(ChannelArchive& archive);
  // Starts the thread. Without it (tests) the program's thread does the
  // work itself in RunQueued.
  void Start();

  // The program's thread: writes every line the worker handed back, through
  // the log of the program's thread, tells `onFileBegun` of every file
  // named and `onFileFinished` of every file that is complete. Returns how
  // many notes.
  size_t WriteNotes() VARN_PROGRAM_THREAD;
  std::function<void(int32_t ch, const std::string& path)> onFileBegun;
  std::function<void(int32_t ch, const std::string& path)> onFileFinished;

  // Wakes the thread for new work.
  void Wake();
  // Without a thread: does every queued job now.
  void RunQueued() VARN_PROGRAM_THREAD;
  bool Threaded() const { return thread_.joinable(); }
  // The end of the program: lets the thread write out what is queued for at
  // most `seconds`. True when everything was written and the thread ended;
  // false when the disk did not answer in time: the thread is left to
  // itself, and so must be everything it uses (the lanes and archives).
  bool Finish(double seconds) VARN_PROGRAM_THREAD;
  // One line per lane that still holds work (for the end of the program).
  std::vector<std::string> Backlog() const VARN_PROGRAM_THREAD;

  // The worker's thread: a line for the program.
  void Note(ArchiveNote note);

 private:
  void Run();  // the thread's body: it takes on the archive role
  bool RunRound() VARN_ARCHIVE_THREAD;

  std::vector<std::unique_ptr<ArchiveLane>> lanes_;
  SpscRing<ArchiveNote> notes_;
  std::atomic<uint64_t> droppedNotes_{0};
  std::atomic<uint32_t> work_{0};
  std::atomic<bool> quit_{false};
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

}  // namespace varn
