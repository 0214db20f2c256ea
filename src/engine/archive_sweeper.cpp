#include "engine/archive_sweeper.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "archive/file_checksum.h"
#include "engine/hooks/archive_queue_file.h"
#include "engine/hooks/hook_service.h"
#include "util/error_catch.h"

namespace varn {

namespace {

// Reports waiting for the program's thread; a sweep that finds the ring
// full keeps its report to itself (its deletions are in the diagnostics of
// the next one only as figures).
constexpr size_t kOutcomeSlots = 64;
// Closed files waiting for their sums: eight lines' files of many hours.
constexpr size_t kSumSlots = 256;

ArchiveFigures Count(const std::vector<SweepFile>& files, const SweepReport& report,
                     const DiskSpace& space) {
  std::set<std::string> gone;
  for (const SweepDeletion& d : report.deleted) gone.insert(d.path);
  ArchiveFigures figures;
  figures.known = true;
  for (const SweepFile& f : files) {
    if (f.channel < 0 || f.channel >= kSweepChannels || gone.count(f.path) > 0) continue;
    ArchiveFigures::Channel& c = figures.channels[static_cast<size_t>(f.channel)];
    c.bytes += f.bytes;
    ++c.files;
    if (c.oldest == 0.0 || f.start < c.oldest) c.oldest = f.start;
  }
  figures.freeKnown = space.known;
  figures.freeBytes = space.freeBytes;
  return figures;
}

}  // namespace

ArchiveSweeper::ArchiveSweeper(Lister list, DiskSpaceReader readSpace)
    : list_(std::move(list)),
      readSpace_(std::move(readSpace)),
      outcomes_(kOutcomeSlots),
      sums_(kSumSlots) {}

ArchiveSweeper::~ArchiveSweeper() {
  if (!thread_.joinable()) return;
  quit_.store(true, std::memory_order_release);
  Wake();
  thread_.join();
}

bool ArchiveSweeper::Finish(double seconds) {
  if (!thread_.joinable()) return true;
  quit_.store(true, std::memory_order_release);
  Wake();
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!ended_.load(std::memory_order_acquire)) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  thread_.join();
  return true;
}

void ArchiveSweeper::Wake() {
  wake_.fetch_add(1, std::memory_order_release);
  wake_.notify_one();
}

void ArchiveSweeper::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void ArchiveSweeper::Request(unsigned kinds) {
  rules_.Publish();
  // The published rules are the newest; the next ones start from a copy.
  busy_.store(true, std::memory_order_release);
  requested_.fetch_or(kinds, std::memory_order_acq_rel);
  Wake();
}

bool ArchiveSweeper::QueueChecksum(int ch, const std::string& path) {
  busy_.store(true, std::memory_order_release);
  if (!sums_.TryPush(SumJob{ch, path})) return false;
  Wake();
  return true;
}

bool ArchiveSweeper::TakeOutcome(SweepOutcome& out) { return outcomes_.TryPop(out); }

bool ArchiveSweeper::Idle() const {
  return requested_.load(std::memory_order_acquire) == 0 && sums_.Empty() &&
         !busy_.load(std::memory_order_acquire);
}

void ArchiveSweeper::RunPending() {
  ThreadRoleScope role(gSweepThreadRole);
  WriteSums();
  const unsigned kinds = requested_.exchange(0, std::memory_order_acq_rel);
  if (kinds != 0) Sweep(kinds);
  Deliver();
  busy_.store(false, std::memory_order_release);
}

void ArchiveSweeper::Run() {
  ThreadRoleScope role(gSweepThreadRole);
  for (;;) {
    const uint32_t seen = wake_.load(std::memory_order_acquire);
    if (quit_.load(std::memory_order_acquire)) break;
    // Sums first: a file's upload waits for its sum.
    bool did = WriteSums();
    const unsigned kinds = requested_.exchange(0, std::memory_order_acq_rel);
    if (kinds != 0) {
      Sweep(kinds);
      did = true;
    }
    Deliver();
    if (did) continue;
    busy_.store(false, std::memory_order_release);
    // Work that came after the looks above woke us already: wait returns.
    if (requested_.load(std::memory_order_acquire) != 0 || !sums_.Empty()) continue;
    wake_.wait(seen, std::memory_order_acquire);
  }
  ended_.store(true, std::memory_order_release);
}

const HoldsFile& ArchiveSweeper::Holds(const std::string& dataFolder) {
  const std::string path = HoldsFilePath(dataFolder);
  struct stat st {};
  const std::string stamp = stat(path.c_str(), &st) == 0
                                ? std::to_string(st.st_mtim.tv_sec) + "." +
                                      std::to_string(st.st_mtim.tv_nsec) + "/" +
                                      std::to_string(st.st_size) + "/" + std::to_string(st.st_ino)
                                : "none";
  if (stamp != holdsStamp_ || !holds_.ok) {
    holds_ = ReadHoldsFile(path);
    holdsStamp_ = stamp;
  }
  return holds_;
}

std::set<std::string> ArchiveSweeper::QueueFileKeys(const std::string& dataFolder) {
  std::set<std::string> keys;
  const std::string path = (std::filesystem::path(dataFolder) / kArchiveQueueName).string();
  for (const std::string& file : ReadArchiveQueue(path, dataFolder).paths)
    keys.insert(SweepKey(file));
  return keys;
}

void ArchiveSweeper::Sweep(unsigned kinds) {
  const SweepRules& rules = rules_.Read();
  if (rules.dataFolder.empty()) return;
  std::vector<std::string> notes;
  TrappedStep([&]() VARN_SWEEP_THREAD {
    SweepGuard guard;
    const HoldsFile& holds = Holds(rules.dataFolder);
    guard.holdsOk = holds.ok;
    guard.holds = holds.holds;
    if (!holds.ok && holds.error != holdsSaid_)
      notes.push_back("Archive holds file unusable: " + holds.error +
                      "; no archive file is deleted until it is mended");
    holdsSaid_ = holds.ok ? std::string() : holds.error;

    SweepRules effective = rules;
    // The hook's queue file: runs the last run of the program left, which
    // the running hook service may not have taken (no ArchiveCommand now).
    for (const std::string& key : QueueFileKeys(rules.dataFolder)) effective.queued.insert(key);

    std::vector<SweepFile> files = list_(rules.dataFolder);
    if (kinds & kSweepRetention) {
      SweepReport report;
      DeleteForRetention(RetentionVictims(files, effective, guard), report);
      std::erase_if(files, [&](const SweepFile& f) {
        return std::any_of(report.deleted.begin(), report.deleted.end(),
                           [&](const SweepDeletion& d) { return d.path == f.path; });
      });
      pending_.push_back(SweepOutcome{true, std::move(report), std::move(notes), {}});
      notes.clear();
    }
    DiskSpace space = readSpace_(rules.dataFolder);
    if (kinds & kSweepSpace) {
      SweepReport report;
      report.reason = SweepReason::Space;
      if (rules.minFreeMB > 0 && space.known) {
        bool capped = false;
        const uint64_t minFree = MinFreeBytes(rules.minFreeMB, space.totalBytes, &capped);
        if (capped && !cappedSaid_)
          notes.push_back("ArchiveMinFreeMB " + std::to_string(rules.minFreeMB) +
                          " is more than half the data folder's file system; " +
                          std::to_string(minFree / kMegabyte) + " MB is kept free instead");
        cappedSaid_ = capped;
        DeleteForSpace(SpaceCandidates(files, effective, guard), minFree, rules.dataFolder,
                       readSpace_, report);
        space = readSpace_(rules.dataFolder);
      } else {
        // The guard is off (or the space unknown): nothing is short.
        report.spaceChecked = rules.minFreeMB == 0;
      }
      figures_.Back() = Count(files, report, space);
      pending_.push_back(SweepOutcome{true, std::move(report), std::move(notes), {}});
    } else {
      figures_.Back() = Count(files, SweepReport{}, space);
    }
    figures_.Publish();
  });
}

bool ArchiveSweeper::WriteSums() {
  SumJob job;
  SweepOutcome outcome;
  outcome.sweep = false;
  // At the end of the program the files not yet summed go to the hook
  // without: they stay queued here.
  while (!quit_.load(std::memory_order_acquire) && sums_.TryPop(job)) {
    ChecksumDone done{job.channel, job.path, {}};
    TrappedStep([&]() VARN_SWEEP_THREAD { done.error = WriteChecksumFile(job.path); });
    outcome.sums.push_back(std::move(done));
  }
  if (outcome.sums.empty()) return false;
  pending_.push_back(std::move(outcome));
  return true;
}

void ArchiveSweeper::Deliver() {
  // What the ring cannot take now waits for the next round; nothing is lost.
  while (!pending_.empty() && outcomes_.TryPush(std::move(pending_.front()))) pending_.pop_front();
}

}  // namespace varn
