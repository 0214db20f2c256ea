#include "ops/web/live_hub.h"

#include <pthread.h>

#include <chrono>
#include <nlohmann/json.hpp>

namespace varn {

namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(20);

const char* StateName(const LiveLine& l) {
  if (l.awaiting) return "device_error";
  if (!l.capturing) return "stopped";
  if (l.stalled) return "stalled";
  return "recording";
}

double Rounded(double v) { return static_cast<double>(std::lround(v * 10.0)) / 10.0; }

}  // namespace

std::string LiveStatusJson(const LiveSnapshot& s) {
  nlohmann::json lines = nlohmann::json::array();
  for (size_t i = 0; i < s.lines.size(); ++i) {
    const LiveLine& l = s.lines[i];
    nlohmann::json sides = nlohmann::json::array();
    for (size_t side = 0; side < 2; ++side) {
      if (!l.shown[side]) continue;
      sides.push_back({{"side", side == 0 ? "L" : "R"},
                       {"peak", Rounded(l.peakDb[side])},
                       {"rms", Rounded(l.rmsDb[side])},
                       {"over", l.overLevel[side]},
                       {"low", l.lowLevel[side]}});
    }
    lines.push_back({{"channel", i + 1},
                     {"name", l.name},
                     {"state", StateName(l)},
                     {"device", l.device},
                     {"fallback", l.fallback},
                     {"stalled", l.stalled},
                     {"writeFailing", l.writeFailing},
                     {"sides", sides},
                     {"shortTermLufs", l.shortTermLufs ? nlohmann::json(Rounded(*l.shortTermLufs))
                                                       : nlohmann::json(nullptr)}});
  }
  return nlohmann::json{{"version", VARN_VERSION},
                        {"published", static_cast<int64_t>(s.publishedUnixMs)},
                        {"sequence", s.sequence},
                        {"lines", lines}}
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string LiveEventJson(const LiveEvent& e, uint64_t sequence) {
  return nlohmann::json{
      {"sequence", sequence},
      {"local", e.localTime},
      {"utc", e.utcTime},
      {"channel", e.channel >= 0 ? nlohmann::json(e.channel + 1) : nlohmann::json(nullptr)},
      {"side", e.side == 0 ? nlohmann::json("L")
                           : (e.side == 1 ? nlohmann::json("R") : nlohmann::json(nullptr))},
      {"message", e.message},
      {"kind", e.kind}}
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

LiveHub::LiveHub(LivePublisher& publisher) : publisher_(publisher) {
  thread_ = std::thread([this] { Run(); });
  // Named, so a look at the process's threads tells the console's share.
  pthread_setname_np(thread_.native_handle(), "varn-live");
}

LiveHub::~LiveHub() {
  Stop();
  thread_.join();
}

void LiveHub::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
}

void LiveHub::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    lock.unlock();
    Take();
    lock.lock();
    changed_.wait_for(lock, kPollPeriod, [this] { return stop_; });
  }
}

void LiveHub::Take() {
  // The JSON is made outside the lock: readers never wait for it.
  const LiveSnapshot& s = publisher_.Latest();
  std::shared_ptr<const std::string> status;
  std::shared_ptr<const std::string> frame;
  uint64_t levels = 0;
  {
    std::lock_guard lock(mutex_);
    levels = view_.levelsSequence;
  }
  if (s.sequence != levels) {
    status = std::make_shared<const std::string>(LiveStatusJson(s));
    frame = std::make_shared<const std::string>("event: levels\ndata: " + *status + "\n\n");
  }
  std::vector<LiveEvent> lines;
  LiveEvent e;
  while (publisher_.TakeEvent(e)) lines.push_back(std::move(e));
  if (!status && lines.empty()) return;
  std::vector<std::string> texts;
  uint64_t next;
  {
    std::lock_guard lock(mutex_);
    next = view_.lastEvent;
  }
  for (const LiveEvent& line : lines) texts.push_back(LiveEventJson(line, ++next));
  {
    std::lock_guard lock(mutex_);
    if (status) {
      view_.status = std::move(status);
      levelsFrame_ = std::move(frame);
      view_.levelsSequence = s.sequence;
      view_.channels = static_cast<int>(s.lines.size());
      view_.logFolder = s.logFolder;
      view_.logExtension = s.logExtension;
      view_.dataFolder = s.dataFolder;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
      auto eventFrame =
          std::make_shared<const std::string>("event: log\ndata: " + texts[i] + "\n\n");
      events_.push_back(Event{++view_.lastEvent, std::move(lines[i]), std::move(texts[i]),
                              std::move(eventFrame)});
      if (events_.size() > kRecentEvents) events_.pop_front();
    }
  }
  changed_.notify_all();
}

LiveHub::View LiveHub::Now() const {
  std::lock_guard lock(mutex_);
  return view_;
}

bool LiveHub::Wait(uint64_t levelsSequence, uint64_t eventSequence, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return stop_ || view_.levelsSequence != levelsSequence || view_.lastEvent > eventSequence;
  }) && !stop_;
}

bool LiveHub::Next(uint64_t levelsSequence, uint64_t eventSequence, int timeoutMs,
                   Frames& out) const {
  std::unique_lock lock(mutex_);
  const bool news = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return stop_ || view_.levelsSequence != levelsSequence || view_.lastEvent > eventSequence;
  });
  if (!news || stop_) return false;
  out.levelsSequence = view_.levelsSequence;
  out.lastEvent = view_.lastEvent;
  out.levels = view_.levelsSequence != levelsSequence ? levelsFrame_ : nullptr;
  out.events.clear();
  if (view_.lastEvent > eventSequence)
    for (const Event& e : events_)
      if (e.sequence > eventSequence) out.events.push_back(e.frame);
  return true;
}

std::vector<LiveHub::Event> LiveHub::EventsAfter(uint64_t eventSequence) const {
  std::lock_guard lock(mutex_);
  std::vector<Event> out;
  for (const Event& e : events_)
    if (e.sequence > eventSequence) out.push_back(e);
  return out;
}

bool LiveHub::Stopping() const {
  std::lock_guard lock(mutex_);
  return stop_;
}

}  // namespace varn
