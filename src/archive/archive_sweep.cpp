#include "archive/archive_sweep.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "archive/archive_texts.h"
#include "archive/file_checksum.h"
#include "util/text.h"

namespace varn {

namespace {

namespace fs = std::filesystem;

bool Protected(const SweepFile& f, const SweepRules& rules, const SweepGuard& guard) {
  if (!guard.holdsOk) return true;
  if (rules.open.count(SweepKey(f.path)) > 0) return true;
  return Held(guard.holds, f.channel, f.start, f.end);
}

void SortOldestFirst(std::vector<const SweepFile*>& files) {
  std::stable_sort(files.begin(), files.end(), [](const SweepFile* a, const SweepFile* b) {
    return a->start != b->start ? a->start < b->start : a->path < b->path;
  });
}

enum class Removal { Deleted, Gone, Failed };

// Removes the file and its sum; the reason when the file stays.
Removal Remove(const SweepFile& f, std::string& reason) {
  std::error_code ec;
  const bool removed = fs::remove(f.path, ec);
  if (ec) {
    reason = ec.message();
    return Removal::Failed;
  }
  fs::remove(f.path + std::string(kChecksumExtension), ec);
  return removed ? Removal::Deleted : Removal::Gone;  // gone: someone else was first
}

void Record(const SweepFile& f, bool queued, SweepReport& report) {
  std::string reason;
  switch (Remove(f, reason)) {
    case Removal::Deleted:
      report.deleted.push_back({f.path, f.channel, f.bytes, queued});
      break;
    case Removal::Failed:
      report.failed.push_back({f.path, reason});
      break;
    case Removal::Gone:
      break;
  }
}

}  // namespace

std::string_view SweepReasonName(SweepReason reason) {
  return reason == SweepReason::Space ? "space" : "retention";
}

std::string SweepKey(std::string_view path) {
  const fs::path p(path);
  return (p.parent_path().filename() / p.filename()).string();
}

std::vector<const SweepFile*> RetentionVictims(const std::vector<SweepFile>& files,
                                               const SweepRules& rules, const SweepGuard& guard) {
  std::vector<const SweepFile*> victims;
  for (const SweepFile& f : files) {
    if (f.channel < 0 || f.channel >= kSweepChannels) continue;
    const int days = rules.keepDays[static_cast<size_t>(f.channel)];
    if (days <= 0) continue;
    if (f.end >= rules.now - days * kSecondsPerDay) continue;
    if (Protected(f, rules, guard) || rules.queued.count(SweepKey(f.path)) > 0) continue;
    victims.push_back(&f);
  }
  SortOldestFirst(victims);
  return victims;
}

SpaceOrder SpaceCandidates(const std::vector<SweepFile>& files, const SweepRules& rules,
                           const SweepGuard& guard) {
  SpaceOrder order;
  for (const SweepFile& f : files) {
    // The current hour's files are what the lines are recording now.
    if (f.start >= rules.hourStart || f.end > rules.now) continue;
    if (Protected(f, rules, guard)) continue;
    (rules.queued.count(SweepKey(f.path)) > 0 ? order.queuedLast : order.first).push_back(&f);
  }
  SortOldestFirst(order.first);
  SortOldestFirst(order.queuedLast);
  return order;
}

void DeleteForRetention(const std::vector<const SweepFile*>& victims, SweepReport& report) {
  report.reason = SweepReason::Retention;
  for (const SweepFile* f : victims) Record(*f, false, report);
}

void DeleteForSpace(const SpaceOrder& order, uint64_t minFree, const std::string& folder,
                    const DiskSpaceReader& readSpace, SweepReport& report) {
  report.reason = SweepReason::Space;
  report.spaceChecked = true;
  DiskSpace space = readSpace(folder);
  if (!space.known) return;
  auto take = [&](const std::vector<const SweepFile*>& files, bool queued) {
    for (const SweepFile* f : files) {
      if (space.freeBytes >= minFree) return;
      Record(*f, queued, report);
      space = readSpace(folder);
      if (!space.known) return;
    }
  };
  take(order.first, false);
  take(order.queuedLast, true);
  report.diskLow = space.known && space.freeBytes < minFree;
}

std::string ArchiveDeletedMessage(size_t files, uint64_t bytes) {
  return std::string(kArchiveDeletedText) + std::to_string(files) + "件 " +
         FormatFixed(static_cast<double>(bytes) / 1e9, 1) + " GB";
}

}  // namespace varn
