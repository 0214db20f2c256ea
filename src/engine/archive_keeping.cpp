#include "engine/archive_keeping.h"

#include <algorithm>

#include "archive/archive_texts.h"
#include "log/event_log.h"
#include "settings/setting_keys.h"
#include "util/error_catch.h"
#include "util/keep_until_exit.h"
#include "util/text.h"

namespace varn {

namespace {

// The sweeper's rules want Unix seconds; the clock gives UTC fields.
double UnixSeconds(const DateTime& utc) {
  return static_cast<double>(EpochMsFromDateTime(utc)) / 1000.0;
}

std::string DayOf(const ClockReading& now) {
  return GetDateTimeText(now, DateTimeStyle::Plain, DateTimeParts::DateOnly);
}

}  // namespace

KeepingSettings ReadKeepingSettings() {
  KeepingSettings s;
  const int global = std::clamp(ReadKeyInt("ArchiveKeepDays"), 0, 3650);
  for (int ch = 0; ch < kSweepChannels; ++ch) {
    const int own = ReadKeyInt(ChannelKey("ArchiveKeepDays_", ch));
    s.keepDays[static_cast<size_t>(ch)] = own < 0 ? global : std::min(own, 3650);
  }
  s.minFreeMB = static_cast<uint64_t>(std::max(ReadKeyInt("ArchiveMinFreeMB"), 0));
  s.checksum = ReadKeyInt("ArchiveChecksum") != 0;
  return s;
}

ArchiveKeeping::ArchiveKeeping(Options options) : o_(std::move(options)) {
  DiskSpaceReader reader = o_.readSpace ? o_.readSpace : DiskSpaceReader(ReadDiskSpace);
  sweeper_ = std::make_unique<ArchiveSweeper>(o_.list, std::move(reader));
  if (o_.thread) sweeper_->Start();
}

ArchiveKeeping::~ArchiveKeeping() {
  if (sweeper_ && !sweeper_->Finish(kSweepFinishSec)) KeepUntilExit(std::move(sweeper_));
}

void ArchiveKeeping::Configure(const KeepingSettings& settings) { settings_ = settings; }

void ArchiveKeeping::FileBegun(int ch, const std::string& path) {
  if (ch >= 0 && ch < kSweepChannels) writing_[static_cast<size_t>(ch)] = path;
}

bool ArchiveKeeping::FileFinished(int ch, const std::string& path) {
  if (ch >= 0 && ch < kSweepChannels && writing_[static_cast<size_t>(ch)] == path)
    writing_[static_cast<size_t>(ch)].clear();
  if (!settings_.checksum) return true;
  if (!sweeper_->QueueChecksum(ch, path)) {
    WriteLogLine("Archive checksum not written (too many files waiting): " + path, true);
    return true;
  }
  summing_[path] = ch;
  if (!o_.thread) sweeper_->RunPending();
  return false;
}

void ArchiveKeeping::Request(unsigned kinds, const std::vector<std::string>& queued) {
  if (o_.dataFolder.empty()) return;
  // Nothing to do for a sweep that is off; the space sweep still runs to
  // keep the figures and the free space current.
  if (std::all_of(settings_.keepDays.begin(), settings_.keepDays.end(),
                  [](int d) { return d <= 0; }))
    kinds &= ~static_cast<unsigned>(kSweepRetention);
  if (kinds == 0) return;
  SweepRules& r = sweeper_->Rules();
  const ClockReading now = o_.clock->Now();
  r.dataFolder = o_.dataFolder;
  r.keepDays = settings_.keepDays;
  r.minFreeMB = settings_.minFreeMB;
  r.now = UnixSeconds(now.utc);
  r.hourStart = r.now - now.local.minute * 60.0 - now.local.second - now.local.millisecond / 1000.0;
  r.open.clear();
  for (const std::string& path : writing_)
    if (!path.empty()) r.open.insert(SweepKey(path));
  for (const auto& [path, ch] : summing_) r.open.insert(SweepKey(path));
  r.queued.clear();
  for (const std::string& path : queued) r.queued.insert(SweepKey(path));
  sweeper_->Request(kinds);
  if (!o_.thread) sweeper_->RunPending();
}

void ArchiveKeeping::EverySecond(const ClockReading& now, const std::vector<std::string>& queued) {
  const int minute = now.local.hour * 60 + now.local.minute;
  if (minute == lastMinute_) return;
  const bool newHour = lastHour_ >= 0 && now.local.hour != lastHour_;
  const bool first = lastMinute_ < 0;
  lastMinute_ = minute;
  lastHour_ = now.local.hour;
  // Start-up sweeps on its own (BeginRunning); later minutes check the space.
  if (first) return;
  Request(kSweepSpace | (newHour ? kSweepRetention : 0u), queued);
}

void ArchiveKeeping::Report(const std::function<void(int, const std::string&)>& toHook) {
  figures_ = sweeper_->Figures();
  // A sweep that deleted thousands of files (a first start with a long
  // retention backlog) has its lines written over several ticks.
  size_t budget = kLinesPerTick;
  for (;;) {
    if (!current_) {
      SweepOutcome outcome;
      if (!sweeper_->TakeOutcome(outcome)) return;
      current_ = std::move(outcome);
      nextLine_ = 0;
      TrappedStep([&]() VARN_PROGRAM_THREAD { Begin(*current_, toHook); });
    }
    // A failure drops the outcome rather than trying it again every tick.
    if (!Trapped(true, [&]() VARN_PROGRAM_THREAD { return Continue(*current_, budget); })) return;
    current_.reset();
  }
}

void ArchiveKeeping::Begin(SweepOutcome& outcome,
                           const std::function<void(int, const std::string&)>& toHook) {
  for (const std::string& note : outcome.notes) WriteLogLine(note, true);
  for (const ChecksumDone& sum : outcome.sums) {
    summing_.erase(sum.path);
    if (!sum.error.empty()) WriteLogLine("Archive checksum not written: " + sum.error, true);
    if (toHook) toHook(sum.channel, sum.path);
  }
  const size_t slot = outcome.report.reason == SweepReason::Space ? 1 : 0;
  if (outcome.sweep)
    for (const SweepDeletion& d : outcome.report.deleted)
      if (d.channel >= 0 && d.channel < kSweepChannels)
        ++deleted_[static_cast<size_t>(d.channel)][slot];
}

bool ArchiveKeeping::Continue(const SweepOutcome& outcome, size_t& budget) {
  if (!outcome.sweep) return true;
  const SweepReport& report = outcome.report;
  const std::string reason(SweepReasonName(report.reason));
  for (; nextLine_ < report.deleted.size(); ++nextLine_) {
    if (budget == 0) return false;
    --budget;
    const SweepDeletion& d = report.deleted[nextLine_];
    std::string line =
        d.queued ? "Archive file deleted for space while still queued for ArchiveCommand: "
                 : "Archive file deleted (" + reason + "): ";
    WriteLogLine(line + d.path + " (" + std::to_string(d.bytes) + " bytes)", true);
  }
  uint64_t bytes = 0;
  for (const SweepDeletion& d : report.deleted) bytes += d.bytes;
  if (!report.deleted.empty())
    o_.log->LogEvent(ArchiveDeletedMessage(report.deleted.size(), bytes));
  const std::string today = DayOf(o_.clock->Now());
  for (const SweepFailure& f : report.failed) {
    std::string& said = failureSaid_[f.path];
    if (said == today) continue;
    said = today;
    WriteLogLine("Archive file cannot be deleted (" + reason + "): " + f.path + ": " + f.reason,
                 true);
  }
  if (!report.spaceChecked) return true;
  if (report.diskLow && !diskLowSaid_) o_.log->LogEvent(kDiskLowText);
  diskLowSaid_ = report.diskLow;
  diskLow_.store(report.diskLow, std::memory_order_relaxed);
  return true;
}

std::vector<std::pair<int, std::string>> ArchiveKeeping::Unsummed() const {
  std::vector<std::pair<int, std::string>> files;
  for (const auto& [path, ch] : summing_) files.emplace_back(ch, path);
  return files;
}

uint64_t ArchiveKeeping::Deleted(int ch, SweepReason reason) const {
  if (ch < 0 || ch >= kSweepChannels) return 0;
  return deleted_[static_cast<size_t>(ch)][reason == SweepReason::Space ? 1 : 0];
}

}  // namespace varn
