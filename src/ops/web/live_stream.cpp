#include "ops/web/live_stream.h"

#include <microhttpd.h>

#include <cstring>
#include <string>

#include "ops/web/live_hub.h"

namespace varn {

namespace {

struct LiveStream {
  const LiveHub* hub = nullptr;
  uint64_t levels = 0;
  uint64_t events = 0;
  std::string pending;
  size_t sent = 0;
};

ssize_t ReadLive(void* cls, uint64_t /*pos*/, char* buffer, size_t max) {
  auto* s = static_cast<LiveStream*>(cls);
  while (s->sent >= s->pending.size()) {
    s->pending.clear();
    s->sent = 0;
    if (!s->hub->Wait(s->levels, s->events, 1000)) {
      if (s->hub->Stopping()) return MHD_CONTENT_READER_END_OF_STREAM;
      s->pending = ": idle\n\n";
      break;
    }
    for (const LiveHub::Event& e : s->hub->EventsAfter(s->events)) {
      s->pending += "event: log\ndata: " + e.json + "\n\n";
      s->events = e.sequence;
    }
    const LiveHub::View v = s->hub->Now();
    if (v.status && v.levelsSequence != s->levels) {
      s->pending += "event: levels\ndata: " + *v.status + "\n\n";
      s->levels = v.levelsSequence;
    }
  }
  const size_t n = std::min(max, s->pending.size() - s->sent);
  std::memcpy(buffer, s->pending.data() + s->sent, n);
  s->sent += n;
  return static_cast<ssize_t>(n);
}

void FreeLive(void* cls) { delete static_cast<LiveStream*>(cls); }

}  // namespace

MHD_Response* LiveStreamResponse(const LiveHub& hub) {
  auto* s = new LiveStream;
  s->hub = &hub;
  const uint64_t last = hub.Now().lastEvent;
  s->events = last > kLiveBacklogEvents ? last - kLiveBacklogEvents : 0;
  s->pending = "retry: 2000\n\n";
  MHD_Response* r =
      MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &ReadLive, s, &FreeLive);
  if (!r) delete s;
  return r;
}

}  // namespace varn
