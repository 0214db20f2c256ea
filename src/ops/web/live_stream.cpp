#include "ops/web/live_stream.h"

#include <microhttpd.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "ops/web/live_hub.h"

namespace varn {

namespace {

struct LiveStream {
  const LiveHub* hub = nullptr;
  uint64_t levels = 0;
  uint64_t events = 0;
  // Messages to send, shared with every other stream; the first one from
  // `sent` on.
  std::deque<std::shared_ptr<const std::string>> queue;
  size_t sent = 0;
  LiveHub::Frames next;
};

const auto kIdle = std::make_shared<const std::string>(": idle\n\n");

ssize_t ReadLive(void* cls, uint64_t /*pos*/, char* buffer, size_t max) {
  auto* s = static_cast<LiveStream*>(cls);
  if (s->queue.empty()) {
    if (!s->hub->Next(s->levels, s->events, 1000, s->next)) {
      if (s->hub->Stopping()) return MHD_CONTENT_READER_END_OF_STREAM;
      s->queue.push_back(kIdle);
    } else {
      // Event lines first: a level that follows them is the newer news.
      for (auto& e : s->next.events) s->queue.push_back(std::move(e));
      if (s->next.levels) s->queue.push_back(std::move(s->next.levels));
      s->levels = s->next.levelsSequence;
      s->events = s->next.lastEvent;
    }
  }
  size_t n = 0;
  while (n < max && !s->queue.empty()) {
    const std::string& m = *s->queue.front();
    const size_t take = std::min(max - n, m.size() - s->sent);
    std::memcpy(buffer + n, m.data() + s->sent, take);
    n += take;
    s->sent += take;
    if (s->sent == m.size()) {
      s->queue.pop_front();
      s->sent = 0;
    }
  }
  return static_cast<ssize_t>(n);
}

void FreeLive(void* cls) { delete static_cast<LiveStream*>(cls); }

}  // namespace

MHD_Response* LiveStreamResponse(const LiveHub& hub) {
  auto* s = new LiveStream;
  s->hub = &hub;
  const uint64_t last = hub.Now().lastEvent;
  s->events = last > kLiveBacklogEvents ? last - kLiveBacklogEvents : 0;
  s->queue.push_back(std::make_shared<const std::string>("retry: 2000\n\n"));
  MHD_Response* r =
      MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 8192, &ReadLive, s, &FreeLive);
  if (!r) delete s;
  return r;
}

}  // namespace varn
