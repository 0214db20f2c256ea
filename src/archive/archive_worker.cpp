#include "archive/archive_worker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "archive/mpeg_header.h"
#include "log/event_log.h"
#include "util/error_catch.h"
#include "util/text.h"

namespace varn {

namespace {

// Starts, stops and new files that fit into a lane beside a full load of blocks.
constexpr size_t kControlJobs = 16;
// Lines waiting for the program's thread; more are counted and dropped.
constexpr size_t kNoteSlots = 1024;

std::string Label(int32_t ch) { return std::to_string(ch + 1); }

// The worker thread's lines go to the program's thread as notes.
class NoteRedirect final : public LineRedirect {
 public:
  explicit NoteRedirect(ArchiveWorker& worker) : worker_(worker) {}
  void Event(std::string_view message, int channel, int side) override {
    worker_.Note(ArchiveNote{ArchiveNote::Kind::Event, false, channel, side, std::string(message)});
  }
  void Line(std::string_view text, bool toDiagnostics) override {
    worker_.Note(ArchiveNote{ArchiveNote::Kind::Line, toDiagnostics, -1, -1, std::string(text)});
  }

 private:
  ArchiveWorker& worker_;
};

// The bit rate a run will really archive with, decided without the
// encoder: MP3 only where MPEG defines that bit rate at the run's rate.
int32_t ArchiveBitRate(const ArchiveStart& start) {
  if (start.bitRate < 1) return 0;
  if (start.bits != 16 || start.channels < 1 || start.channels > 2) return 0;
  return IsLayer3BitRate(start.rate, start.bitRate) ? start.bitRate : 0;
}

}  // namespace

// ---- lane, the program's side

ArchiveLane::ArchiveLane(ArchiveWorker& worker, ChannelArchive& archive)
    : worker_(worker), archive_(archive), jobs_(kControlJobs) {}

bool ArchiveLane::Idle() const {
  return waiting_.empty() && jobsDone_.load(std::memory_order_acquire) == jobsQueued_;
}

bool ArchiveLane::WaitIdle(double seconds) {
  if (!worker_.Threaded()) {
    Flush();
    worker_.RunQueued();
    return Idle();
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!Idle() && std::chrono::steady_clock::now() < deadline) {
    Flush();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return Idle();
}

ArchiveLane::SlotStore& ArchiveLane::StoreFor(const ArchiveStart& start) {
  const int32_t blockBytes = std::max(start.blockAlign, 1) * std::max(start.samplesPerBuffer, 1);
  const double blocksPerSecond =
      static_cast<double>(std::max(start.rate, 1)) / std::max(start.samplesPerBuffer, 1);
  const auto count = static_cast<uint64_t>(std::ceil(kArchiveLaneSeconds * blocksPerSecond)) + 2;
  if (!store_ || store_->slotBytes != blockBytes || store_->count != count) {
    // The worker may still read the old copies (a run being written out):
    // they stay until it is past them.
    if (store_) retired_.emplace_back(std::move(store_), jobsQueued_ + waiting_.size());
    store_ = std::make_shared<SlotStore>();
    store_->slotBytes = blockBytes;
    store_->count = count;
    store_->bytes.assign(static_cast<size_t>(count) * static_cast<size_t>(blockBytes), 0);
  }
  // An empty ring may grow under a running worker; a busy one keeps its
  // size, and blocks beyond it are lost as on a full lane.
  jobs_.Reserve(static_cast<size_t>(count) + kControlJobs);
  return *store_;
}

void ArchiveLane::ReleaseRetired() {
  const uint64_t done = jobsDone_.load(std::memory_order_acquire);
  std::erase_if(retired_, [done](const auto& r) { return done >= r.second; });
}

int32_t ArchiveLane::StartArchive(const ArchiveStart& start) {
  Flush();
  ReleaseRetired();
  NoteLossEnded();
  const int32_t bitRate = ArchiveBitRate(start);
  archiving_ = start.archiveOn;
  // The loudness is measured whether or not the run archives.
  measuring_ = start.bits == 16 && start.channels >= 1 && start.channels <= 2 && start.rate > 0;
  frameBytes_ = std::max(start.blockAlign, 1);
  timed_ = false;
  timeline_.Start(archiving_ ? static_cast<uint32_t>(std::max(start.rate, 0)) : 0,
                  archive_.GetClock().Steady());
  Job job;
  job.kind = JobKind::Start;
  job.start = start;
  job.start.bitRate = bitRate;
  job.at = archive_.GetClock().Now();
  job.archive = archiving_;
  job.measure = measuring_;
  if (archiving_ || measuring_) StoreFor(start);
  Push(job);
  return bitRate;
}

void ArchiveLane::FeedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount) {
  FeedTimedBlock(bufferIndex, bytes, byteCount, -1.0);
}

void ArchiveLane::FeedTimedBlock(int32_t bufferIndex, const uint8_t* bytes, int32_t byteCount,
                                 double capturedEnd) {
  if (!archiving_ && !measuring_) return;
  Flush();
  SlotStore* store = store_.get();
  const bool room = store && byteCount > 0 && byteCount <= store->slotBytes &&
                    store->Free() > 0 && jobs_.Size() + waiting_.size() < jobs_.Capacity();
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
  const auto slot = static_cast<int32_t>(store->queued % store->count);
  std::memcpy(store->bytes.data() + static_cast<size_t>(slot) * store->slotBytes, bytes,
              static_cast<size_t>(byteCount));
  ++store->queued;
  Job job;
  job.kind = JobKind::Block;
  job.store = store;
  job.slot = slot;
  job.bufferIndex = bufferIndex;
  job.byteCount = byteCount;
  job.archive = archiving_;
  if (capturedEnd >= 0.0) timed_ = true;
  if (archiving_ && capturedEnd >= 0.0)
    job.silenceFrames =
        timeline_.BeforeBlock(static_cast<uint64_t>(byteCount) / frameBytes_, capturedEnd);
  if (job.silenceFrames > 0)
    job.splitAt = std::min<int32_t>(static_cast<int32_t>(splitHint_) * frameBytes_, byteCount);
  splitHint_ = 0;
  Push(job);
}

void ArchiveLane::BeginNewFile(uint64_t inFlight) {
  if (!archiving_) return EndHour();
  Job job;
  job.kind = JobKind::NewFile;
  job.at = archive_.GetClock().Now();
  // Only a run whose blocks carry their times can be brought up to the clock.
  if (timed_) job.silenceFrames = timeline_.CatchUp(archive_.GetClock().Steady(), inFlight);
  job.logLoudness = loudnessLog_;
  Push(job);
}

void ArchiveLane::EndHour() {
  if (!measuring_) return;
  Job job;
  job.kind = JobKind::HourEnd;
  job.archive = false;
  job.logLoudness = loudnessLog_;
  Push(job);
}

void ArchiveLane::StopArchive() {
  Job job;
  job.kind = JobKind::Stop;
  job.archive = archiving_;
  job.logLoudness = loudnessLog_;
  Push(job);
  archiving_ = false;
  measuring_ = false;
  NoteLossEnded();
  if (!worker_.Threaded()) worker_.RunQueued();
}

void ArchiveLane::Push(Job job) {
  waiting_.push_back(job);
  Flush();
}

void ArchiveLane::Flush() {
  bool pushed = false;
  while (!waiting_.empty() && jobs_.Capacity() > 0 && jobs_.TryPush(waiting_.front())) {
    waiting_.pop_front();
    ++jobsQueued_;
    pushed = true;
  }
  if (pushed) worker_.Wake();
  ReleaseRetired();
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

std::string ArchiveLane::Backlog() const {
  if (Idle()) return {};
  const uint64_t jobs = jobsQueued_ - jobsDone_.load(std::memory_order_acquire) + waiting_.size();
  const uint64_t blocks = store_ ? store_->queued - store_->done.load(std::memory_order_acquire) : 0;
  std::string line = std::string(kArchiveStopLateText) + Label(archive_.Channel()) + ": " +
                     std::to_string(jobs) + " jobs not written (" + std::to_string(blocks) +
                     " blocks of audio)";
  return notedPath_.empty() ? line : line + " for " + notedPath_;
}

std::optional<double> ArchiveLane::LastHourLufs() const {
  const double v = lastHourLufs_.load(std::memory_order_relaxed);
  return v == kNoFigure ? std::nullopt : std::optional<double>(v);
}

// ---- lane, the worker's side

bool ArchiveLane::RunOne() {
  Job* job = jobs_.Front();
  if (!job) return false;
  switch (job->kind) {
    case JobKind::Start:
      if (job->measure) TrappedStep([&]() VARN_ARCHIVE_THREAD { loudness_.Start(job->start.rate, job->start.channels); });
      archive_.StartArchiveAt(job->start, job->at);
      if (archive_.Archiving()) NoteFile(ArchiveNote::Kind::FileBegun, archive_.FilePath());
      break;
    case JobKind::Block: {
      SlotStore& store = *job->store;
      const uint8_t* bytes = store.bytes.data() + static_cast<size_t>(job->slot) * store.slotBytes;
      if (job->archive) {
        if (job->silenceFrames == 0) {
          TrappedStep([&] { archive_.FeedBlock(job->bufferIndex, bytes, job->byteCount); });
        } else {
          // The hole lies where the device stopped delivering, inside the block.
          archive_.FeedPart(bytes, job->splitAt);
          archive_.FeedSilence(job->silenceFrames);
          archive_.FeedPart(bytes + job->splitAt, job->byteCount - job->splitAt);
        }
      }
      if (loudness_.Measuring()) {
        const auto frames = static_cast<size_t>(job->byteCount) /
                            (sizeof(int16_t) * static_cast<size_t>(loudness_.Channels()));
        TrappedStep([&]() VARN_ARCHIVE_THREAD { loudness_.Add(reinterpret_cast<const int16_t*>(bytes), frames); });
      }
      store.done.fetch_add(1, std::memory_order_release);
      break;
    }
    case JobKind::NewFile:
      // A stall up to now belongs to the old file.
      if (job->silenceFrames > 0) archive_.FeedSilence(job->silenceFrames);
      EndLoudnessHour(*job, false);
      archive_.BeginNewFileNamed(job->at);
      NoteFile(ArchiveNote::Kind::FileBegun, archive_.FilePath());
      break;
    case JobKind::HourEnd:
      EndLoudnessHour(*job, false);
      break;
    case JobKind::Stop:
      // The hour's loudness goes before the archive's last lines.
      EndLoudnessHour(*job, true);
      archive_.StopArchive();
      break;
  }
  for (std::string& file : archive_.TakeFinishedFiles())
    NoteFile(ArchiveNote::Kind::FileFinished, std::move(file));
  jobs_.Pop();
  jobsDone_.fetch_add(1, std::memory_order_release);
  return true;
}

void ArchiveLane::NoteFile(ArchiveNote::Kind kind, std::string path) {
  ArchiveNote note;
  note.kind = kind;
  note.channel = archive_.Channel();
  note.text = std::move(path);
  worker_.Note(std::move(note));
}

void ArchiveLane::EndLoudnessHour(const Job& job, bool runEnds) {
  if (!loudness_.Measuring()) return;
  LoudnessFigures figures;
  TrappedStep([&]() VARN_ARCHIVE_THREAD { figures = runEnds ? loudness_.Stop() : loudness_.EndHour(); });
  // Only a top of the hour ends an hour; a stop ends a run part way through one.
  if (!runEnds)
    lastHourLufs_.store(figures.integratedLufs.value_or(kNoFigure), std::memory_order_relaxed);
  if (job.logLoudness)
    worker_.Note(ArchiveNote{ArchiveNote::Kind::Event, false, archive_.Channel(), -1,
                             LoudnessMessage(figures)});
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

bool ArchiveWorker::Finish(double seconds) {
  if (!thread_.joinable()) {
    for (auto& lane : lanes_) lane->Flush();
    RunQueued();
    WriteNotes();
    return true;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    bool idle = true;
    for (auto& lane : lanes_) {
      lane->Flush();
      idle = lane->Idle() && idle;
    }
    WriteNotes();
    if (idle) break;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  quit_.store(true, std::memory_order_release);
  Wake();
  thread_.join();
  WriteNotes();
  return true;
}

std::vector<std::string> ArchiveWorker::Backlog() const {
  std::vector<std::string> lines;
  for (const auto& lane : lanes_) {
    std::string line = lane->Backlog();
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
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
  // Without a thread the program's thread plays the worker's part.
  ThreadRoleScope role(gArchiveThreadRole);
  while (RunRound()) {
  }
}

void ArchiveWorker::Run() {
  ThreadRoleScope role(gArchiveThreadRole);
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
    switch (note.kind) {
      case ArchiveNote::Kind::FileBegun:
        for (auto& lane : lanes_)
          if (lane->Channel() == note.channel) lane->NoteBegun(note.text);
        if (onFileBegun) TrappedStep([&] { onFileBegun(note.channel, note.text); });
        break;
      case ArchiveNote::Kind::FileFinished:
        if (onFileFinished) TrappedStep([&] { onFileFinished(note.channel, note.text); });
        break;
      case ArchiveNote::Kind::Event:
        LogEvent(note.text, note.channel, note.side);
        break;
      case ArchiveNote::Kind::Line:
        WriteLogLine(note.text, note.toDiagnostics);
        break;
    }
    ++written;
  }
  const uint64_t dropped = droppedNotes_.exchange(0, std::memory_order_relaxed);
  if (dropped > 0)
    WriteLogLine("Archive worker: " + std::to_string(dropped) + " lines dropped", true);
  return written;
}

}  // namespace varn
