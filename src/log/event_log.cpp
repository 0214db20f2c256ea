#include "log/event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "log/event_kinds.h"
#include "log/log_writer.h"
#include "settings/folders.h"
#include "settings/settings_store.h"
#include "util/error_catch.h"
#include "util/text.h"
#include "util/timing.h"

namespace varn {

namespace {

EventLog* gActiveLog = nullptr;
thread_local LineRedirect* tRedirect = nullptr;

std::string DateText(const DateTime& d, const char* sep) {
  return PadNumber(d.year, 4) + sep + PadNumber(d.month, 2) + sep + PadNumber(d.day, 2);
}

// Appends with one write so a line is never interleaved with another writer's.
bool AppendLine(const std::string& path, const std::string& line) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (done < line.size()) {
    const ssize_t n = write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return (close(fd) == 0) && ok;
}

}  // namespace

std::string GetDateTimeText(const ClockReading& now, DateTimeStyle style, DateTimeParts parts) {
  const bool plain = style == DateTimeStyle::Plain;
  std::string text = DateText(now.local, plain ? "/" : "");
  if (parts == DateTimeParts::DateOnly) return text;
  double t = now.secondsSinceMidnight;
  if (t >= 86399.999) t = 86399.999;
  if (t < 0) t = 0;
  const int whole = static_cast<int>(t);
  const char* timeSep = plain ? ":" : "";
  text += plain ? " " : "";
  text += PadNumber(whole / 3600, 2) + timeSep + PadNumber(whole / 60 % 60, 2) + timeSep +
          PadNumber(whole % 60, 2);
  return text;
}

std::string UtcDateTimeText(const ClockReading& now) {
  const DateTime& u = now.utc;
  return DateText(u, "/") + " " + PadNumber(u.hour, 2) + ":" + PadNumber(u.minute, 2) + ":" +
         PadNumber(u.second, 2);
}

EventLog::EventLog(const Clock& clock) : clock_(clock) {}

void EventLog::LogEvent(std::string_view message, int channel, int side) {
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    const ClockReading now = clock_.Now();
    const std::string local =
        GetDateTimeText(now, DateTimeStyle::Plain, DateTimeParts::DateAndTime);
    const std::string utc = UtcDateTimeText(now);
    const std::string chLabel = channel == -1 ? "" : "ch" + std::to_string(channel + 1);
    const std::string sideLabel = side == -1 ? "" : (side != 0 ? "Rch" : "Lch");
    std::string text = utc;
    for (const std::string_view part :
         {std::string_view(chLabel), std::string_view(sideLabel), message}) {
      if (part.empty()) continue;
      text += ' ';
      text += part;
    }
    WriteLine(text, false, now);
    if (sink_) sink_->AddLine(local, utc, chLabel, sideLabel, std::string(message));
    lastLogTime_ = static_cast<float>(now.secondsSinceMidnight);
    Tell(now, channel, side, message);
  });
}

void EventLog::AddListener(EventListener* listener) {
  if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
    listeners_.push_back(listener);
}

void EventLog::RemoveListener(EventListener* listener) { std::erase(listeners_, listener); }

void EventLog::Tell(const ClockReading& now, int channel, int side, std::string_view message) {
  if (listeners_.empty()) return;
  EventRecord event;
  event.localTime = GetDateTimeText(now, DateTimeStyle::Plain, DateTimeParts::DateAndTime);
  event.utcTime = UtcDateTimeText(now);
  event.channel = channel;
  event.side = side;
  event.message = message;
  event.kind = EventKind(message);
  // A plain line names its channel in its text ("エンコーダ初期化失敗 ch3").
  if (channel < 0) {
    const size_t at = message.rfind(" ch");
    if (at != std::string_view::npos) {
      const std::string_view digits = message.substr(at + 3);
      if (digits.size() == 1 && digits[0] >= '1' && digits[0] <= '8')
        event.channel = digits[0] - '1';
    }
  }
  // A listener may log in turn (a hook that fails): take a copy.
  const std::vector<EventListener*> listeners = listeners_;
  for (EventListener* l : listeners) TrappedStep([&]() VARN_PROGRAM_THREAD { l->OnEvent(event); });
}

std::string EventLog::CurrentFilePath(bool toDiagnostics) const {
  const std::string ext = toDiagnostics ? ".err" : (extension_.empty() ? ".log" : extension_);
  const std::string folder = folder_.empty() ? AppFolder() + "log" : folder_;
  return NormaliseFolder(folder, false) + std::string(kAppTitle) +
         GetDateTimeText(clock_.Now(), DateTimeStyle::Compact, DateTimeParts::DateOnly) + ext;
}

void EventLog::WriteLogLine(std::string_view text, bool toDiagnostics) {
  // One reading for the file name and the line, so a line written at
  // midnight carries the date of the file it is in.
  const ClockReading now = clock_.Now();
  WriteLine(text, toDiagnostics, now);
  if (!toDiagnostics) Tell(now, -1, -1, text);
}

void EventLog::WriteLine(std::string_view text, bool toDiagnostics, const ClockReading& now) {
  if (!enabled_ && !(echo_ && !toDiagnostics)) return;
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    std::string line = GetDateTimeText(now, DateTimeStyle::Plain, DateTimeParts::DateAndTime);
    line += ' ';
    line += text;
    if (echo_ && !toDiagnostics) TrappedStep([&]() VARN_PROGRAM_THREAD { echo_(line); });
    if (!enabled_) return;
    const std::string folder = folder_.empty() ? AppFolder() + "log" : folder_;
    const std::string ext = toDiagnostics ? ".err" : (extension_.empty() ? ".log" : extension_);
    const std::string path = NormaliseFolder(folder, false) + std::string(kAppTitle) +
                             GetDateTimeText(now, DateTimeStyle::Compact, DateTimeParts::DateOnly) +
                             ext;
    line += "\r\n";
    if (writer_) {
      writer_->Append(folder, path, std::move(line));
      return;
    }
    if (!FolderExists(folder)) MakeFolder(folder);
    if (!FolderExists(folder)) return;  // dropped: nowhere to write
    AppendLine(path, line);
  });
}

void EventLog::ReplaceFile(const std::string& path, const std::string& text, bool ownerOnly) {
  if (writer_) {
    writer_->Replace(path, text, ownerOnly);
    return;
  }
  TrappedStep([&]() VARN_PROGRAM_THREAD {
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (ownerOnly ? O_NOFOLLOW : 0),
             ownerOnly ? 0600 : 0666);
    if (fd < 0) return;
    if (ownerOnly) (void)fchmod(fd, 0600);
    (void)!write(fd, text.data(), text.size());
    close(fd);
  });
}

void EventLog::RemoveFile(const std::string& path) {
  if (writer_) {
    writer_->Remove(path);
    return;
  }
  std::remove(path.c_str());
}

bool EventLog::WriteSeparatorIfDue() {
  if (lastLogTime_ == -1 || ElapsedSec(lastLogTime_, clock_) <= 3.0f) return false;
  LogEvent(kSeparatorLine, -1, -1);
  lastLogTime_ = -1;
  return true;
}

void SetActiveLog(EventLog* log) { gActiveLog = log; }
EventLog* ActiveLog() { return gActiveLog; }

// A thread that is not the program's hands its lines over through its
// redirect; the program's thread has none.
void LogEvent(std::string_view message, int channel, int side) {
  if (tRedirect) {
    tRedirect->Event(message, channel, side);
  } else if (gActiveLog) {
    OnProgramThread();
    gActiveLog->LogEvent(message, channel, side);
  }
}

void WriteLogLine(std::string_view text, bool toDiagnostics) {
  if (tRedirect) {
    tRedirect->Line(text, toDiagnostics);
  } else if (gActiveLog) {
    OnProgramThread();
    gActiveLog->WriteLogLine(text, toDiagnostics);
  }
}

void SetThreadRedirect(LineRedirect* redirect) { tRedirect = redirect; }

}  // namespace varn
