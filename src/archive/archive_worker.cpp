#include "archive/archive_worker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "log/event_log.h"
#include "util/error_catch.h"

namespace varn {

namespace {

// Stops and new files that fit into a lane beside a full load of blocks.
constexpr size_t kControlJobs = 16;
// Lines waiting for the program's thread; more are counted and dropped.
constexpr size_t kNoteSlots = 1024;

std::string Label(int32_t ch) { return std::to_string(ch + 1); }

// The worker thread's lines go to the program's thread as notes.
class NoteRedirect final : public LineRedirect {
 public:
  explicit NoteRedirect(ArchiveWorker& worker) : worker_(worker) {}
  void Event(std::string_view message, int channel, int side) override {
    worker_.Note(ArchiveNote{true, false, channel, side, std::string(message)});
  }
  void Line(std::string_view text, bool toDiagnostics) override {
    worker_.Note(ArchiveNote{false, toDiagnostics, -1, -1, std::string(text)});
  }

 private:
  ArchiveWorker& worker_;
};

}  // namespace

// ---- lane, the program's side

ArchiveLane::ArchiveLane(ArchiveWorker& worker, ChannelArchive& archive)
    : worker_(worker), archive_(archive) {}

bool ArchiveLane::Idle() const {
  return waitingControl_.empty() && jobsDone_.load(std::memory_order_acquire) == jobsQueued_;
}

int32_t ArchiveLane::StartArchive(const ArchiveStart& start) {
  Flush();
  if (!worker_.Threaded()) worker_.RunQueued();
  archiving_ = false;
  measuring_ = false;
  if (!Idle()) {
    // The worker still writes an earlier run (a disk that hangs): this run
    // goes without an archive rather than share the files.
    if (start.archiveOn)
      WriteLogLine(std::string(kArchiveStopLateText) + Label(archive_.Channel()) +
                       ": the earlier run is still being written; this run is not archived",
                   true);
    return start.bitRate < 1 ? 0 : start.bitRate;
  }
  NoteLossEnded();
  const int32_t bitRate = archive_.StartArchive(start);
  archiving_ = start.archiveOn && archive_.Archiving();
  // The loudness is measured whether or not the run archives. The lane is
  // idle, so the worker holds nothing of the meter.
  measuring_ = start.bits == 16 && loudness_.Start(start.rate, start.channels);
  frameBytes_ = std::max(start.blockAlign, 1);
  if (archiving_ || measuring_) SizeSlots(start);
  return bitRate;
}

void ArchiveLane::SizeSlots(const ArchiveStart& start) {
  const int32_t blockBytes = std::max(start.blockAlign, 1) * std::max(start.samplesPerBuffer, 1);
  const double blocksPerSecond =
      static_cast<double>(std::max(start.rate, 1)) / std::max(start.samplesPerBuffer, 1);
  const auto count = static_cast<uint64_t>(std::ceil(kArchiveLaneSeconds * blocksPerSecond)) + 2;
  if (slotBytes_ != blockBytes || slotCount_ != count) {
    // Nothing is queued (Idle), so the worker holds no slot.
    slotBytes_ = blockBytes;
    slotCount_ = count;
    slots_.assign(static_cast<size_t>(count) * static_cast<size_t>(blockBytes), 0);
    slotsQueued_ = 0;
    slotsDone_.store(0, std::memory_order_relaxed);
    jobs_.Reserve(static_cast<size_t>(count) + kControlJobs);
  }
}

void ArchiveLane::FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) {
  if (!archiving_ && !measuring_) return;
  Flush();
  const bool room = byteCount > 0 && byteCount <= slotBytes_ &&
                    slotsQueued_ - slotsDone_.load(std::memory_order_acquire) < slotCount_ &&
                    jobs_.Size() < jobs_.Capacity();
  if (!room) {
    // Without an archive only the loudness misses the block; the audio
    // itself is not lost.
    if (!archiving_) return;
    if (lossRunBlocks_ == 0)
      WriteLogLine(std::string(kArchiveLaneFullText) + Label(archive_.Channel()) +
                       ": the disk does not keep up, blocks are being lost",
                   true);
    ++lossRunBlocks_;
    ++lostBlocks_;
    const uint64_t frames = static_cast<uint64_t>(std::max(byteCount, 0)) / frameBytes_;
    lossRunFrames_ += frames;
    lostFrames_ += frames;
    return;
  }
  NoteLossEnded();
  const auto slot = static_cast<int32_t>(slotsQueued_ % slotCount_);
  std::memcpy(slots_.data() + static_cast<size_t>(slot) * slotBytes_, bytes,
              static_cast<size_t>(byteCount));
  ++slotsQueued_;
  Push(Job{JobKind::Block, slot, bufferIndex, byteCount, {}, archiving_, false});
}

void ArchiveLane::BeginNewFile(std::string path) {
  if (!archiving_) return EndHour();
  Push(Job{JobKind::NewFile, 0, 0, 0, std::move(path), true, loudnessLog_});
}

void ArchiveLane::EndHour() {
  if (!measuring_) return;
  Push(Job{JobKind::HourEnd, 0, 0, 0, {}, false, loudnessLog_});
}

void ArchiveLane::StopArchive() {
  if (!archiving_ && !measuring_) {
    // A run without an archive or a loudness: nothing is queued for it. (A
    // run that began while an earlier one was still being written leaves
    // that one's stop where it is.)
    if (Idle()) TrappedStep([&] { archive_.StopArchive(); });
    return;
  }
  Push(Job{JobKind::Stop, 0, 0, 0, {}, archiving_, loudnessLog_});
  archiving_ = false;
  measuring_ = false;
  WaitUntilIdle();
  worker_.WriteNotes();
  NoteLossEnded();
}

void ArchiveLane::WaitUntilIdle() {
  if (!worker_.Threaded()) {
    worker_.RunQueued();
  } else {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(worker_.StopWait());
    while (!Idle() && std::chrono::steady_clock::now() < deadline) {
      Flush();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!Idle())
      WriteLogLine(std::string(kArchiveStopLateText) + Label(archive_.Channel()) +
                       ": the disk does not answer; the run's last blocks go out when it does",
                   true);
  }
}

bool ArchiveLane::Push(Job job) {
  if (job.kind != JobKind::Block) {
    waitingControl_.push_back(std::move(job));
    Flush();
    return true;
  }
  if (!jobs_.TryPush(std::move(job))) return false;
  ++jobsQueued_;
  worker_.Wake();
  return true;
}

void ArchiveLane::Flush() {
  bool pushed = false;
  while (!waitingControl_.empty() && jobs_.Capacity() > 0 &&
         jobs_.TryPush(std::move(waitingControl_.front()))) {
    waitingControl_.pop_front();
    ++jobsQueued_;
    pushed = true;
  }
  if (pushed) worker_.Wake();
}

void ArchiveLane::NoteLossEnded() {
  if (lossRunBlocks_ == 0) return;
  WriteLogLine(std::string(kArchiveLaneFullText) + Label(archive_.Channel()) + ": " +
                   std::to_string(lossRunBlocks_) + " blocks (" + std::to_string(lossRunFrames_) +
                   " frames) lost",
               true);
  lossRunBlocks_ = 0;
  lossRunFrames_ = 0;
}

// ---- lane, the worker's side

bool ArchiveLane::RunOne() {
  Job* job = jobs_.Front();
  if (!job) return false;
  switch (job->kind) {
    case JobKind::Block: {
      const uint8_t* bytes = slots_.data() + static_cast<size_t>(job->slot) * slotBytes_;
      if (job->archive)
        TrappedStep([&] { archive_.FeedBlock(job->bufferIndex, bytes, job->byteCount); });
      if (loudness_.Measuring()) {
        const auto frames = static_cast<size_t>(job->byteCount) /
                            (sizeof(int16_t) * static_cast<size_t>(loudness_.Channels()));
        TrappedStep([&] { loudness_.Add(reinterpret_cast<const int16_t*>(bytes), frames); });
      }
      slotsDone_.fetch_add(1, std::memory_order_release);
      break;
    }
    case JobKind::NewFile:
      EndLoudnessHour(*job, false);
      archive_.BeginNewFileAt(job->path);
      break;
    case JobKind::HourEnd:
      EndLoudnessHour(*job, false);
      break;
    case JobKind::Stop:
      // The hour's loudness goes before the archive's last lines, and both
      // before the stop line the program writes once the lane is idle.
      EndLoudnessHour(*job, true);
      archive_.StopArchive();
      break;
  }
  for (std::string& file : archive_.TakeFinishedFiles()) {
    ArchiveNote note;
    note.fileFinished = true;
    note.channel = archive_.Channel();
    note.text = std::move(file);
    worker_.Note(std::move(note));
  }
  jobs_.Pop();
  jobsDone_.fetch_add(1, std::memory_order_release);
  return true;
}

void ArchiveLane::EndLoudnessHour(const Job& job, bool runEnds) {
  if (!loudness_.Measuring()) return;
  LoudnessFigures figures;
  TrappedStep([&] { figures = runEnds ? loudness_.Stop() : loudness_.EndHour(); });
  if (job.logLoudness)
    worker_.Note(ArchiveNote{true, false, archive_.Channel(), -1, LoudnessMessage(figures)});
}

// ---- worker

ArchiveWorker::ArchiveWorker() : notes_(kNoteSlots) {}

ArchiveWorker::~ArchiveWorker() {
  if (thread_.joinable()) {
    quit_.store(true, std::memory_order_release);
    Wake();
    thread_.join();
  } else {
    RunQueued();
  }
  WriteNotes();
}

ArchiveLane& ArchiveWorker::AddLane(ChannelArchive& archive) {
  lanes_.push_back(std::make_unique<ArchiveLane>(*this, archive));
  return *lanes_.back();
}

void ArchiveWorker::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void ArchiveWorker::Wake() {
  work_.fetch_add(1, std::memory_order_release);
  work_.notify_one();
}

bool ArchiveWorker::RunRound() {
  bool any = false;
  for (auto& lane : lanes_) any = lane->RunOne() || any;
  return any;
}

void ArchiveWorker::RunQueued() {
  while (RunRound()) {
  }
}

void ArchiveWorker::Run() {
  NoteRedirect redirect(*this);
  SetThreadRedirect(&redirect);
  for (;;) {
    const uint32_t seen = work_.load(std::memory_order_acquire);
    if (RunRound()) continue;
    // Everything queued before the quit is written first.
    if (quit_.load(std::memory_order_acquire)) break;
    work_.wait(seen, std::memory_order_acquire);
  }
  SetThreadRedirect(nullptr);
}

void ArchiveWorker::Note(ArchiveNote note) {
  if (!notes_.TryPush(std::move(note))) droppedNotes_.fetch_add(1, std::memory_order_relaxed);
}

size_t ArchiveWorker::WriteNotes() {
  size_t written = 0;
  ArchiveNote note;
  while (notes_.TryPop(note)) {
    if (note.fileFinished) {
      if (onFileFinished) TrappedStep([&] { onFileFinished(note.channel, note.text); });
    } else if (note.event) {
      LogEvent(note.text, note.channel, note.side);
    } else {
      WriteLogLine(note.text, note.toDiagnostics);
    }
    ++written;
  }
  const uint64_t dropped = droppedNotes_.exchange(0, std::memory_order_relaxed);
  if (dropped > 0)
    WriteLogLine("Archive worker: " + std::to_string(dropped) + " lines dropped", true);
  return written;
}

}  // namespace varn
