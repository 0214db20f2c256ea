#pragma once
// The console's side of the live snapshot: one thread of its own takes the
// newest snapshot and the new event lines from the publisher every 20 ms,
// turns each into JSON once, and keeps them (the newest status, the last
// kRecentEvents lines) for any number of connections to read. A reader
// that falls behind skips to the newest levels; the program never waits.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ops/web/live_publisher.h"

namespace varn {

inline constexpr size_t kRecentEvents = 200;

class LiveHub {
 public:
  explicit LiveHub(LivePublisher& publisher);
  ~LiveHub();
  LiveHub(const LiveHub&) = delete;
  LiveHub& operator=(const LiveHub&) = delete;

  struct Event {
    uint64_t sequence = 0;
    LiveEvent line;
    std::string json;
    std::shared_ptr<const std::string> frame;  // as a "log" message of the live stream
  };
  struct View {
    uint64_t levelsSequence = 0;                // 0 before the first snapshot
    std::shared_ptr<const std::string> status;  // JSON of /api/v1/status
    uint64_t lastEvent = 0;                     // sequence of the newest event line
    int channels = 0;
    std::string logFolder;
    std::string logExtension;
    std::string dataFolder;
  };

  // Any connection's thread.
  View Now() const;
  // Waits at most `timeoutMs` until there are levels newer than
  // `levelsSequence` or an event line after `eventSequence`; false when
  // nothing came (or the hub stops).
  bool Wait(uint64_t levelsSequence, uint64_t eventSequence, int timeoutMs) const;
  // The kept event lines after `eventSequence`, oldest first.
  std::vector<Event> EventsAfter(uint64_t eventSequence) const;

  // What a live stream sends next, made once for every stream.
  struct Frames {
    uint64_t levelsSequence = 0;
    uint64_t lastEvent = 0;
    std::shared_ptr<const std::string> levels;  // null: no newer levels
    std::vector<std::shared_ptr<const std::string>> events;
  };
  // Waits as Wait does, then takes what is newer in the same turn of the
  // lock: many streams woken at once each take it only once.
  bool Next(uint64_t levelsSequence, uint64_t eventSequence, int timeoutMs, Frames& out) const;
  bool Stopping() const;
  // Ends every stream (their connections finish); the thread stops too.
  void Stop();

 private:
  void Run();
  void Take();

  LivePublisher& publisher_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  View view_;
  std::shared_ptr<const std::string> levelsFrame_;
  std::deque<Event> events_;
  bool stop_ = false;
  std::thread thread_;
};

// The JSON texts the hub makes (and the tests read).
std::string LiveStatusJson(const LiveSnapshot& snapshot);
std::string LiveEventJson(const LiveEvent& event, uint64_t sequence);

}  // namespace varn
