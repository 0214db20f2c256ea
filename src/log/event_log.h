#pragma once
// The daily event file (varnYYYYMMDD.txt) and diagnostics file
// (varnYYYYMMDD.err). Every event line carries the local and the UTC time,
// the channel and the side, so an operator can prove afterwards when and
// where a fault happened. A file is opened and closed for every line, so
// other programs may read, copy or remove it at any time.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "util/clock.h"
#include "util/thread_role.h"

namespace varn {

class LogFileWriter;

inline constexpr std::string_view kStartBanner = "**************起動*****************";
inline constexpr std::string_view kEndBanner = "**************正常終了*****************";
inline constexpr std::string_view kSeparatorLine = "-----------------------------";

// The log window: it receives the five fields of every event line (local
// time, UTC time, channel label, side label, message).
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void AddLine(const std::string& localTime, const std::string& utcTime,
                       const std::string& channel, const std::string& side,
                       const std::string& message) = 0;
};

// One line of the event file as the programs that act on events see it
// (hooks, metrics): its times as the file shows them, its channel and side,
// its message and the message's kind (log/event_kinds.h).
struct EventRecord {
  std::string localTime;  // "2026/12/07 22:01:41"
  std::string utcTime;    // "2026/12/07 13:01:41"
  int channel = -1;       // 0-based; -1 for none
  int side = -1;          // 0 left, 1 right, -1 none
  std::string_view message;
  std::string_view kind;
};

class EventListener {
 public:
  virtual ~EventListener() = default;
  // On the program's thread, after the line was written.
  virtual void OnEvent(const EventRecord& event) = 0;
};

enum class DateTimeStyle { Plain = 0, Compact = 1 };
enum class DateTimeParts { DateAndTime = 0, DateOnly = 1 };

// "2026/12/06 18:16:54", "20261206" or "20261206181654". The time of day
// comes from the seconds-since-midnight reading, clamped to [0, 86399.999].
std::string GetDateTimeText(const ClockReading& now, DateTimeStyle style, DateTimeParts parts);
// The UTC column: "2026/12/06 09:16:54".
std::string UtcDateTimeText(const ClockReading& now);

class EventLog {
 public:
  explicit EventLog(const Clock& clock);

  // LogEnabled: false stops all writing of files (the sink still gets rows).
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Enabled() const { return enabled_; }
  // LogFolder: while empty, lines go to the "log" folder under the program folder.
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  const std::string& Folder() const { return folder_; }
  void SetExtension(std::string extension) { extension_ = std::move(extension); }
  void SetSink(LogSink* sink) { sink_ = sink; }
  // The thread that writes the files: with one, a line is queued there and
  // the caller never waits for the disk; without one (tests), it is written
  // before the call returns.
  void SetWriter(LogFileWriter* writer) { writer_ = writer; }
  LogFileWriter* Writer() const { return writer_; }
  // Replaces a small file of the program's (the run marker, the archive
  // hook's queue) the same way; `ownerOnly` as LogFileWriter::Replace.
  void ReplaceFile(const std::string& path, const std::string& text, bool ownerOnly = false)
      VARN_PROGRAM_THREAD;
  // Removes such a file, in turn with the lines and files queued before.
  void RemoveFile(const std::string& path) VARN_PROGRAM_THREAD;
  // Receives every event-file line as written (without the line end), even
  // while file writing is off: the headless monitor prints them.
  void SetEcho(std::function<void(std::string_view line)> echo) { echo_ = std::move(echo); }
  // Every event-file line, as an EventRecord, also while file writing is off.
  void AddListener(EventListener* listener);
  void RemoveListener(EventListener* listener);
  const Clock& GetClock() const { return clock_; }

  // One event: pCh is the 0-based channel or -1, pLR 0 left, 1 right, -1 none.
  void LogEvent(std::string_view message, int channel = -1, int side = -1) VARN_PROGRAM_THREAD;
  // One line of the caller's text, to the event file or the diagnostics file.
  void WriteLogLine(std::string_view text, bool toDiagnostics) VARN_PROGRAM_THREAD;

  // Time of the last event line (seconds since midnight), or -1 when none
  // was logged since the last separator.
  float LastLogTime() const { return lastLogTime_; }
  void ResetLastLogTime() { lastLogTime_ = -1; }
  // Closes a burst of events with the dashed line once more than 3 s have
  // passed since its last line. Returns true when it wrote the line.
  bool WriteSeparatorIfDue() VARN_PROGRAM_THREAD;

  // The path the next line of that kind would go to.
  std::string CurrentFilePath(bool toDiagnostics) const;

 private:
  const Clock& clock_;
  bool enabled_ = true;
  std::string folder_;
  std::string extension_ = ".txt";
  void WriteLine(std::string_view text, bool toDiagnostics, const ClockReading& now)
      VARN_PROGRAM_THREAD;
  void Tell(const ClockReading& now, int channel, int side, std::string_view message);

  LogSink* sink_ = nullptr;
  LogFileWriter* writer_ = nullptr;
  std::function<void(std::string_view)> echo_;
  std::vector<EventListener*> listeners_;
  float lastLogTime_ = -1;
};

// The process-wide log that the free functions below write to. Set once at
// start-up; tests install their own. Without one, lines are dropped.
void SetActiveLog(EventLog* log);
EventLog* ActiveLog();
void LogEvent(std::string_view message, int channel = -1, int side = -1);
void WriteLogLine(std::string_view text, bool toDiagnostics);

// Where the free functions above send a thread's lines instead of the log.
// The log belongs to the program's thread; a worker thread hands its lines
// over to be written there.
class LineRedirect {
 public:
  virtual ~LineRedirect() = default;
  virtual void Event(std::string_view message, int channel, int side) = 0;
  virtual void Line(std::string_view text, bool toDiagnostics) = 0;
};
// For the calling thread only; null ends it.
void SetThreadRedirect(LineRedirect* redirect);

}  // namespace varn
