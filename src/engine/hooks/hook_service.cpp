#include "engine/hooks/hook_service.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/hooks/archive_queue_file.h"
#include "engine/hooks/hook_command.h"
#include "settings/setting_keys.h"
#include "settings/settings_file_safety.h"
#include "settings/settings_store.h"
#include "util/text.h"

namespace varn {

namespace {

// The conditions an event line starts and ends.
constexpr std::pair<std::string_view, std::string_view> kConditionPairs[] = {
    {"over_level", "over_level_end"},
    {"low_level", "low_level_end"},
    {"input_stalled", "input_resumed"},
};

std::string Side(int side) { return side == 0 ? "L" : side == 1 ? "R" : ""; }
std::string Channel(int ch) { return ch >= 0 ? std::to_string(ch + 1) : ""; }

bool Paired(std::string_view kind) {
  return std::any_of(std::begin(kConditionPairs), std::end(kConditionPairs),
                     [&](const auto& p) { return p.first == kind || p.second == kind; });
}

// A run's output as diagnostics lines: control characters but tabs shown
// as "?", and a character the cut split left out.
std::vector<std::string> OutputLines(const HookOutput& output) {
  std::string text = output.text;
  uint64_t cut = output.cutBytes;
  if (cut > 0) {
    // Back to the start of the last character; drop it when incomplete.
    size_t lead = text.size();
    while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead > 0 && static_cast<unsigned char>(text[lead - 1]) >= 0xC0) {
      const auto c = static_cast<unsigned char>(text[lead - 1]);
      const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      if (text.size() - (lead - 1) < length) {
        cut += text.size() - (lead - 1);
        text.resize(lead - 1);
      }
    }
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& c : line)
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) c = '?';
    lines.push_back(output.what + " output: " + line);
  }
  if (cut > 0)
    lines.push_back(output.what + " output: cut at " + std::to_string(text.size()) + " bytes; " +
                    std::to_string(cut) + " more not kept");
  return lines;
}

}  // namespace

std::string_view HookCondition(std::string_view kind) {
  for (const auto& [start, end] : kConditionPairs)
    if (kind == start || kind == end) return start;
  return kind;
}

HookSettings ReadHookSettings(std::string* refusal) {
  HookSettings s;
  s.eventCommand = TrimBlanks(ReadKeyText("EventCommand"));
  s.archiveCommand = TrimBlanks(ReadKeyText("ArchiveCommand"));
  s.timeoutSec = std::clamp(static_cast<double>(ReadKeyReal("HookTimeoutSec")), 1.0, 3600.0);
  if (refusal) refusal->clear();
  if (s.eventCommand.empty() && s.archiveCommand.empty()) return s;
  const SettingsStore* store = ActiveStore();
  const std::string why =
      store ? SettingsFileRefusal(store->SettingsFilePath()) : "no settings file is in use";
  if (!why.empty() && refusal) *refusal = why;
  return s;
}

HookService::HookService(std::function<std::string(int)> nameOf, std::function<double()> now,
                         std::string dataFolder)
    : nameOf_(std::move(nameOf)),
      now_(std::move(now)),
      dataFolder_(std::move(dataFolder)),
      runner_(settings_.timeoutSec) {}

void HookService::Configure(const HookSettings& settings) {
  settings_ = settings;
  runner_.SetTimeout(settings.timeoutSec);
  // Runs start at the next tick, once the channels have their names.
  if (!settings_.archiveCommand.empty() && !queueTaken_) TakeQueueFile();
  KeepQueue();
}

void HookService::OnEvent(const EventRecord& event) {
  OnProgramThread();  // the event log tells its listeners on the program's thread
  if (settings_.eventCommand.empty()) return;
  // The record's texts last only for this call.
  Line line;
  line.localTime = event.localTime;
  line.utcTime = event.utcTime;
  line.channel = event.channel;
  line.side = event.side;
  line.message = event.message;
  line.kind = event.kind;
  const WindowKey key{event.channel, event.side, std::string(HookCondition(event.kind))};
  Window& w = windows_[key];
  if (w.opened >= 0.0 && now_() - w.opened < kHookRepeatSec) {
    ++w.heldBack;
    if (Paired(line.kind)) w.newest = std::move(line);
    return;
  }
  // A line held back whose window closed since the last tick is overtaken
  // by this newer one, and counted as held back.
  w.newest.reset();
  RunEvent(key, w, line);
}

void HookService::RunEvent(const WindowKey& key, Window& w, const Line& line) {
  const std::map<std::string, std::string> vars = {
      {"VARN_EVENT", line.kind},
      {"VARN_CHANNEL", Channel(line.channel)},
      {"VARN_CHANNEL_NAME", line.channel >= 0 && nameOf_ ? nameOf_(line.channel) : ""},
      {"VARN_SIDE", Side(line.side)},
      {"VARN_TEXT", line.message},
      {"VARN_LOCAL_TIME", line.localTime},
      {"VARN_UTC_TIME", line.utcTime},
      {"VARN_SUPPRESSED", std::to_string(w.heldBack)},
  };
  w.opened = now_();
  w.heldBack = 0;
  w.newest.reset();
  w.lastRun = line.kind;
  HookRun run = MakeRun("EventCommand", settings_.eventCommand, vars);
  run.serial = std::to_string(std::get<0>(key)) + "/" + std::to_string(std::get<1>(key)) + "/" +
               std::get<2>(key);
  if (runner_.Submit(std::move(run))) return;
  if (dropped_++ == 0) Diagnose("EventCommand: too many runs waiting; runs are being dropped");
}

void HookService::ReleaseHeld(bool now) {
  if (settings_.eventCommand.empty()) return;
  const double t = now_();
  for (auto& [key, w] : windows_) {
    if (!w.newest || (!now && t - w.opened < kHookRepeatSec)) continue;
    const Line line = std::move(*w.newest);
    w.newest.reset();
    // The program told knows this state already; the count waits for the
    // next run.
    if (line.kind == w.lastRun) continue;
    --w.heldBack;  // this one is run after all
    RunEvent(key, w, line);
  }
}

void HookService::FileFinished(int ch, const std::string& path) {
  if (settings_.archiveCommand.empty()) return;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  archiveWaiting_.push_back(ArchiveJob{ch, ec ? path : absolute.lexically_normal().string()});
  StartArchiveRuns();
  KeepQueue();
}

void HookService::StartArchiveRuns() {
  for (const uint64_t id : runner_.TakeEnded()) archiveGoing_.erase(id);
  while (!settings_.archiveCommand.empty() && !archiveWaiting_.empty() &&
         archiveGoing_.size() < kArchiveHooksAtOnce) {
    const ArchiveJob& job = archiveWaiting_.front();
    const std::map<std::string, std::string> vars = {
        {"VARN_FILE", job.path},
        {"VARN_CHANNEL", Channel(job.channel)},
        {"VARN_CHANNEL_NAME", job.channel >= 0 && nameOf_ ? nameOf_(job.channel) : ""},
    };
    HookRun run = MakeRun("ArchiveCommand", settings_.archiveCommand, vars);
    run.id = nextArchiveId_;
    if (!runner_.SubmitArchive(std::move(run))) break;
    archiveGoing_.emplace(nextArchiveId_++, job);
    archiveWaiting_.pop_front();
  }
}

std::vector<std::string> HookService::ArchiveBacklog() const {
  std::vector<std::string> paths;
  for (const auto& [id, job] : archiveGoing_) paths.push_back(job.path);
  for (const ArchiveJob& job : archiveWaiting_) paths.push_back(job.path);
  return paths;
}

void HookService::TakeQueueFile() {
  queueTaken_ = true;
  if (dataFolder_.empty()) return;
  const std::string path = (std::filesystem::path(dataFolder_) / kArchiveQueueName).string();
  ArchiveQueue queue = ReadArchiveQueue(path, dataFolder_);
  for (const std::string& note : queue.notes) WriteLogLine(note, true);
  // What the file holds now: rewritten (or removed) below when that changes.
  queueKept_ = queue.text;
  if (!queue.paths.empty())
    WriteLogLine("ArchiveCommand queue: " + std::to_string(queue.paths.size()) +
                     " files left by the last run",
                 true);
  // They closed before any file of this run.
  for (auto it = queue.paths.rbegin(); it != queue.paths.rend(); ++it)
    archiveWaiting_.push_front(ArchiveJob{ArchiveFileChannel(*it), *it});
}

void HookService::KeepQueue() {
  if (dataFolder_.empty()) return;
  std::string text;
  for (const std::string& path : ArchiveBacklog()) text += path + "\n";
  if (text == queueKept_) return;
  EventLog* log = ActiveLog();
  if (!log) return;
  const std::string path = (std::filesystem::path(dataFolder_) / kArchiveQueueName).string();
  if (text.empty())
    log->RemoveFile(path);
  else
    log->ReplaceFile(path, text, true);
  queueKept_ = text;
}

HookRun HookService::MakeRun(const std::string& what, const std::string& command,
                             const std::map<std::string, std::string>& vars) const {
  HookRun run;
  run.what = what;
  for (const std::string& word : SplitHookCommand(command))
    run.argv.push_back(ExpandHookWord(word, vars));
  for (const auto& [name, value] : vars) run.env.push_back(name + "=" + value);
  return run;
}

void HookService::Report() {
  ReleaseHeld(false);
  StartArchiveRuns();
  KeepQueue();
  // Runs dropped are counted in one line once the storm is over (no new
  // drop since the last tick), or once a minute while it lasts.
  const double now = now_();
  if (dropped_ > 0 && (dropped_ == droppedSeen_ || now - droppedReported_ >= 60.0)) {
    WriteLogLine("Hook runs dropped: " + std::to_string(dropped_) + " (" +
                     std::to_string(kHooksWaiting) + " were waiting)",
                 true);
    dropped_ = 0;
    droppedReported_ = now;
  }
  droppedSeen_ = dropped_;
  for (const HookFailure& f : runner_.TakeFailures()) Diagnose(f.what + ": " + f.cause);
  TellOutputs();
}

void HookService::TellOutputs() {
  uint64_t lost = 0;
  for (const HookOutput& output : runner_.TakeOutputs(&lost))
    for (const std::string& line : OutputLines(output)) WriteLogLine(line, true);
  if (lost > 0)
    WriteLogLine(
        "Hook output of " + std::to_string(lost) + " runs not kept (too many runs ended at once)",
        true);
}

bool HookService::Drain(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    // Idle first: every run it counts as ended has been named by then.
    const bool idle = runner_.Idle();
    StartArchiveRuns();
    if (idle && archiveGoing_.empty() &&
        (archiveWaiting_.empty() || settings_.archiveCommand.empty()))
      return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void HookService::Finish(double seconds) {
  ReleaseHeld(true);
  Drain(seconds);
  Report();
}

void HookService::Diagnose(const std::string& cause) {
  const double now = now_();
  auto [it, fresh] = reported_.try_emplace(cause, now);
  if (!fresh) {
    if (now - it->second < kHookReportEverySec) return;
    it->second = now;
  }
  WriteLogLine(cause, true);
}

}  // namespace varn
