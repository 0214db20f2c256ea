#include "engine/hooks/hook_service.h"

#include <algorithm>
#include <filesystem>

#include "engine/hooks/hook_command.h"
#include "settings/setting_keys.h"
#include "settings/settings_file_safety.h"
#include "settings/settings_store.h"
#include "util/text.h"

namespace varn {

namespace {

std::string Side(int side) { return side == 0 ? "L" : side == 1 ? "R" : ""; }
std::string Channel(int ch) { return ch >= 0 ? std::to_string(ch + 1) : ""; }

}  // namespace

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

HookService::HookService(const HookSettings& settings, std::function<std::string(int)> nameOf,
                         std::function<double()> now)
    : settings_(settings),
      nameOf_(std::move(nameOf)),
      now_(std::move(now)),
      runner_(settings.timeoutSec) {}

void HookService::SetTimeout(double seconds) {
  settings_.timeoutSec = seconds;
  runner_.SetTimeout(seconds);
}

void HookService::OnEvent(const EventRecord& event) {
  if (settings_.eventCommand.empty()) return;
  const std::string kind(event.kind);
  Repeat& r = repeats_[{event.channel, event.side, kind}];
  const double now = now_();
  if (r.lastRun > 0.0 && now - r.lastRun < kHookRepeatSec) {
    ++r.heldBack;
    return;
  }
  const std::map<std::string, std::string> vars = {
      {"VARN_EVENT", kind},
      {"VARN_CHANNEL", Channel(event.channel)},
      {"VARN_CHANNEL_NAME", event.channel >= 0 && nameOf_ ? nameOf_(event.channel) : ""},
      {"VARN_SIDE", Side(event.side)},
      {"VARN_TEXT", std::string(event.message)},
      {"VARN_LOCAL_TIME", event.localTime},
      {"VARN_UTC_TIME", event.utcTime},
      {"VARN_SUPPRESSED", std::to_string(r.heldBack)},
  };
  r.lastRun = std::max(now, 1e-9);
  r.heldBack = 0;
  Submit("EventCommand", settings_.eventCommand, vars);
}

void HookService::FileFinished(int ch, const std::string& path) {
  if (settings_.archiveCommand.empty()) return;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  const std::map<std::string, std::string> vars = {
      {"VARN_FILE", ec ? path : absolute.lexically_normal().string()},
      {"VARN_CHANNEL", Channel(ch)},
      {"VARN_CHANNEL_NAME", ch >= 0 && nameOf_ ? nameOf_(ch) : ""},
  };
  Submit("ArchiveCommand", settings_.archiveCommand, vars);
}

void HookService::Submit(const std::string& what, const std::string& command,
                         const std::map<std::string, std::string>& vars) {
  HookRun run;
  run.what = what;
  for (const std::string& word : SplitHookCommand(command))
    run.argv.push_back(ExpandHookWord(word, vars));
  for (const auto& [name, value] : vars) run.env.push_back(name + "=" + value);
  if (runner_.Submit(std::move(run))) return;
  if (dropped_++ == 0) Diagnose(what + ": too many runs waiting; runs are being dropped");
}

void HookService::Report() {
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
